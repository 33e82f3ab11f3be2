// Writing a file whole, for every file the program writes over: disk images on SAVE,
// snapshots, the settings. The bytes go to a new file beside the old one, under a name of its
// own that no other file has (NAME.saving-1, or the first number free), created exclusively so
// that nothing already there, a link least of all, is ever written through. The new file
// gets the old one's permissions, is flushed to the disk, and then takes the name in one rename,
// so that a reader sees the old file or the new one and never half of one, and a failure at any
// step leaves the old file as it was and no new file behind. A name that is a symbolic link
// keeps its link: the file it leads to is the one replaced.
#pragma once

#include <cstddef>
#include <string>

namespace quillon {

// The suffix of the new file's name before the number.
inline constexpr char ReplacementSuffix[] = ".saving-";

// Called, when given, once the new file is written, flushed and closed and just before it takes
// the name; false stops the replacement there, as a failure would. Tests stop a save at that
// moment with it, as if the program had been ended then.
using ReplacementCheck = bool (*)();

// Writes `size` bytes at `data` as the file named `path` (UTF-8). Returns an empty string, or a
// line that says why the file could not be written, naming it.
std::string ReplaceFile(const std::string& path, const void* data, std::size_t size,
                        ReplacementCheck beforeRename = nullptr);

}  // namespace quillon
