#include "snapshot/snapshot.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "files/crc32.h"
#include "keyboard/key_queue.h"
#include "media/file_replace.h"
#include "media/utf8_path.h"
#include "session/session.h"

namespace quillon {
namespace {

constexpr char Magic[8] = {'Q', 'U', 'I', 'L', 'S', 'N', 'A', 'P'};

// The typing queue rides in the machine's keyboard block.
constexpr SnapshotKeyboardPart KeyboardPart = {KeyQueueSave, KeyQueueLoad};

std::uint32_t ReadWord(const std::uint8_t* bytes) {
  return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
         std::uint32_t{bytes[3]} << 24;
}

}  // namespace

std::uint32_t SnapshotChecksum(const std::uint8_t* data, std::size_t size) {
  return Crc32(data, size);
}

std::vector<std::uint8_t> SnapshotSave() {
  SnapshotWriter machine;
  CurrentMachine().SaveState(machine, KeyboardPart);
  const std::vector<std::uint8_t>& body = machine.Bytes;
  SnapshotWriter out;
  out.Block(Magic, sizeof Magic);
  out.U32(SnapshotFormatVersion);
  out.U32(SnapshotHeaderSize);
  out.U32(static_cast<std::uint32_t>(body.size()));
  out.U32(SnapshotChecksum(body.data(), body.size()));
  out.Block(body.data(), body.size());
  return std::move(out.Bytes);
}

std::string SnapshotLoad(const std::uint8_t* data, std::size_t size,
                         std::unique_ptr<Machine>* replacement) {
  if (size < sizeof Magic || std::memcmp(data, Magic, sizeof Magic) != 0) {
    return "is not a Quillon snapshot";
  }
  if (size < SnapshotHeaderSize) return "is cut short";
  const std::uint32_t version = ReadWord(data + 8);
  const std::uint32_t headerSize = ReadWord(data + 12);
  const std::uint32_t bodySize = ReadWord(data + 16);
  // A newer format is believed only where the file is framed as every format is, the header's
  // and the body's sizes filling it: the magic followed by junk is a damaged file.
  const bool framed = headerSize >= SnapshotHeaderSize && headerSize <= size &&
                      bodySize == size - headerSize;
  if (version > SnapshotFormatVersion && framed) {
    return "is a snapshot of format " + std::to_string(version) +
           " from a newer Quillon; this one reads format " +
           std::to_string(SnapshotFormatVersion);
  }
  if (version == 0 || headerSize != SnapshotHeaderSize) return "is damaged: its header";
  if (bodySize > size - SnapshotHeaderSize) return "is cut short";
  if (bodySize < size - SnapshotHeaderSize) return "is damaged: it is longer than it says";
  const std::uint8_t* body = data + SnapshotHeaderSize;
  if (SnapshotChecksum(body, bodySize) != ReadWord(data + 20)) {
    return "is damaged: its checksum does not match";
  }
  SnapshotReader in{body, bodySize};
  Machine& current = CurrentMachine();
  const MachineModel model = SnapshotBodyModel(body, bodySize);
  if (model == current.Model()) return current.LoadState(in, KeyboardPart);
  std::unique_ptr<Machine> machine = CreateMachine(model, SessionMachineOptions);
  if (replacement == nullptr || machine == nullptr) return "is of another machine model";
  machine->SetPal(current.Pal());
  if (!machine->PowerOn()) return "cannot be loaded: its machine could not start";
  if (!current.DiskPath().empty()) machine->AttachDisk(current.DiskPath());
  const std::string error = machine->LoadState(in, KeyboardPart);
  if (error.empty()) *replacement = std::move(machine);
  return error;
}

std::string SnapshotSaveFile(const std::string& path) {
  const std::vector<std::uint8_t> bytes = SnapshotSave();
  return ReplaceFile(path, bytes.data(), bytes.size());
}

std::string SnapshotLoadFile(const std::string& path, std::unique_ptr<Machine>* replacement) {
  std::error_code error;
  const std::filesystem::path file = PathFromUtf8(path);
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (error) return "cannot read '" + path + "': " + error.message();
  if (size > SnapshotMaxSize) return "'" + path + "' is too large to be a Quillon snapshot";
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  std::ifstream in(file, std::ios::binary);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!in) return "cannot read '" + path + "'";
  const std::string reason = SnapshotLoad(bytes.data(), bytes.size(), replacement);
  return reason.empty() ? "" : "'" + path + "' " + reason;
}

}  // namespace quillon
