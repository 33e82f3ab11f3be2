// Opening the user's files, named in UTF-8 (media/utf8_path.h): the loaders take regular files
// only, so that a device or a pipe (/dev/zero, a FIFO) can neither block the open nor feed a
// loader without end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace quillon {

// True when `path` names a regular file (after following links).
bool IsRegularFile(const char* path);

// The file opened for binary reading, or null when it is no regular file or cannot be opened.
std::FILE* OpenMediaFile(const char* path);

// Reads the whole file into `bytes`. False, with `bytes` empty, when it is no regular file,
// cannot be read, or holds more than `limit` bytes.
bool ReadMediaFile(const char* path, std::size_t limit, std::vector<std::uint8_t>& bytes);

// The file name's extension in lower case, without the dot; empty when there is none.
std::string FileExtension(const std::string& path);

// The kinds of the user's files, by their names: program files (.prg, .p00), cartridge images
// (.crt), and what drive 8 takes, disk images (.d64) and tape archives (.t64).
bool IsProgramFile(const std::string& path);
bool IsCartridgeFile(const std::string& path);
bool IsDiskImageFile(const std::string& path);

// Reads a disk image or tape archive and says what is wrong with it: an empty string when drive
// 8 can take it, otherwise a line for the user. (The drive's own code reads it:
// media/disk_drive.cpp.)
std::string CheckDiskImage(const std::string& path);
// Whether LOAD"*",8 finds a program on the image at `path` and can read it whole: an empty
// string, or a line for the user that says why not (an empty disk, a directory that loops, a
// file's chain that leaves the disk).
std::string CheckDiskHasProgram(const std::string& path);

}  // namespace quillon
