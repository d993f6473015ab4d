#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessarix {

// printf-style formatting into a std::string; the program's texts are printf patterns.
[[gnu::format(printf, 1, 2)]] std::string Format(const char* pattern, ...);

// The C library's decimal conversion as a person's typed field is read: leading white space, an
// optional sign, then digits; no digits give 0. Values beyond the 32-bit range saturate to the
// signed 32-bit limits, as strtol does on a 32-bit long.
long ParseLeadingInt(const std::string& text);

// `text` with the ASCII letters a..z made capitals and every other byte kept: the case-blind
// comparison of file names and paths, whatever their encoding.
std::string UpperAscii(std::string text);

// `text` without the spaces and tabs at its end.
std::string WithoutTrailingBlanks(const std::string& text);

// "%02d:%02d:%02d" of hours (not limited to 24), minutes and seconds of `ms`.
std::string FormatDuration(int64_t ms);

// `text` when at most n characters, else "..." followed by its last n characters.
std::string ShortenPath(const std::string& text, size_t n);

}  // namespace tessarix
