// Opening the user's files: the loaders take regular files only, so that a device or a pipe
// (/dev/zero, a FIFO) can neither block the open nor feed a loader without end.
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

}  // namespace quillon
