#include "media/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "media/utf8_path.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

// A chain of symbolic links is followed this far, as far as the system follows one.
constexpr int MaxLinks = 40;
// Numbers tried for the new file's name; each one taken is a file left by another save that
// is still under way or was cut off.
constexpr int NameNumbers = 100;
// The most handed to one write call (the C runtime's takes an unsigned int on Windows).
constexpr std::size_t WritePiece = 1 << 20;

// The file that `path` leads to: through every symbolic link on the way, to the file it names,
// which need not exist yet.
fs::path FollowLinks(fs::path path) {
  std::error_code error;
  for (int hops = 0; hops < MaxLinks && fs::is_symlink(fs::symlink_status(path, error)); ++hops) {
    const fs::path link = fs::read_symlink(path, error);
    if (error) break;
    path = link.is_absolute() ? link : path.parent_path() / link;
  }
  return path;
}

// The C runtime's file calls, each system's own.
#ifdef _WIN32

// Only the read-only attribute is a permission on Windows, and a read-only file is not
// replaced; the new file starts writable.
int CreateNewFile(const fs::path& path, int) {
  return _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                _S_IREAD | _S_IWRITE);
}
int WritePart(int file, const std::uint8_t* bytes, std::size_t size) {
  return _write(file, bytes, static_cast<unsigned int>(size));
}
bool FlushToDisk(int file) { return _commit(file) == 0; }
bool CloseFile(int file) { return _close(file) == 0; }
// The permissions are the attribute, which the new file has as it should.
void KeepPermissions(int, const fs::path&) {}
// The folder's entries reach the disk with the rename.
void FlushFolder(const fs::path&) {}

#else

// The new file starts readable and writable by its owner alone; KeepPermissions then gives it
// the old file's, or a new file's (0666 less the umask) when there was none.
int CreateNewFile(const fs::path& path, int mode) {
  return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
}
ssize_t WritePart(int file, const std::uint8_t* bytes, std::size_t size) {
  return write(file, bytes, size);
}
bool FlushToDisk(int file) { return fsync(file) == 0; }
bool CloseFile(int file) { return close(file) == 0; }
// Where the file system keeps no such bits (a FAT stick) it keeps what it keeps: the save
// goes on.
void KeepPermissions(int file, const fs::path& original) {
  struct stat status;
  if (stat(original.c_str(), &status) == 0) (void)fchmod(file, status.st_mode & 07777);
}
// The rename is an entry of the folder: without this, a crash soon after could bring back
// the old name's file after all.
void FlushFolder(const fs::path& folder) {
  const int handle = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (handle < 0) return;
  (void)fsync(handle);
  close(handle);
}

#endif

bool WriteAll(int file, const std::uint8_t* bytes, std::size_t size) {
  while (size > 0) {
    const auto written = WritePart(file, bytes, std::min(size, WritePiece));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// A new file beside `target` under the first free name: its handle, or -1 with errno set.
int CreateBeside(const fs::path& target, fs::path& name) {
  std::error_code error;
  const bool replacing = fs::exists(target, error);
  for (int number = 1; number <= NameNumbers; ++number) {
    name = target;
    name += ReplacementSuffix + std::to_string(number);
    const int file = CreateNewFile(name, replacing ? 0600 : 0666);
    if (file >= 0 || errno != EEXIST) return file;
  }
  return -1;
}

}  // namespace

std::string ReplaceFile(const std::string& path, const void* data, std::size_t size,
                        ReplacementCheck beforeRename) {
  const std::string failure = "cannot write '" + path + "': ";
  const fs::path target = FollowLinks(PathFromUtf8(path));
  fs::path temporary;
  const int file = CreateBeside(target, temporary);
  if (file < 0) return failure + std::strerror(errno);
  KeepPermissions(file, target);
  bool written = WriteAll(file, static_cast<const std::uint8_t*>(data), size) && FlushToDisk(file);
  int reason = errno;
  if (!CloseFile(file) && written) {
    written = false;
    reason = errno;
  }
  std::error_code error;
  if (written && beforeRename != nullptr && !beforeRename()) {
    written = false;
    reason = EINTR;
  }
  if (written) fs::rename(temporary, target, error);
  if (!written || error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return failure + (error ? error.message() : std::strerror(reason));
  }
  FlushFolder(target.parent_path());
  return "";
}

}  // namespace quillon
