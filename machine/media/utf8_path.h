// File names as the program keeps them: UTF-8 text on every system. Linux takes such a name as
// it is; Windows names files in UTF-16, so there every name becomes a path, and every path a
// name, through the conversions here, and files are opened through the wide calls of the C
// runtime. Neither direction fails: what is no character of its encoding becomes U+FFFD.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace quillon {

// UTF-8 to UTF-16 and back. Bytes that start no character, characters cut short, overlong
// forms and surrogates in the UTF-8, and unpaired surrogates in the UTF-16, each become
// U+FFFD.
std::u16string Utf16FromUtf8(std::string_view text);
std::string Utf8FromUtf16(std::u16string_view text);

// The path of the file named `name`, and the name of `path`.
std::filesystem::path PathFromUtf8(std::string_view name);
std::string Utf8FromPath(const std::filesystem::path& path);

// std::fopen for a file named in UTF-8.
std::FILE* OpenUtf8File(const std::string& name, const char* mode);

}  // namespace quillon
