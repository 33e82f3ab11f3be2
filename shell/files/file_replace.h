// Writing a file whole: the bytes go to a temporary file beside it, which then takes the file's
// name, so that a failed write leaves the old file as it was and a reader never sees half of
// the new one.
#pragma once

#include <cstddef>
#include <string>

namespace quillon {

// Writes `size` bytes at `data` as the file at `path`. Returns an empty string, or a line that
// says why it could not be written (the temporary file is then removed).
std::string ReplaceFile(const std::string& path, const void* data, std::size_t size);

}  // namespace quillon
