#include "platform/text_format.h"

#include <cctype>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace tessarix {

std::string Format(const char* pattern, ...) {
  va_list args;
  va_start(args, pattern);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, pattern, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length));
    std::vsnprintf(text.data(), text.size() + 1, pattern, args);
  }
  va_end(args);
  return text;
}

long ParseLeadingInt(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
  int64_t value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kMax + 1) value = kMax + 1;  // saturated; keep reading the digits
  }
  if (negative) value = -value;
  if (value > kMax) value = kMax;
  if (value < kMin) value = kMin;
  return static_cast<long>(value);
}

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string WithoutTrailingBlanks(const std::string& text) {
  size_t end = text.size();
  while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  return text.substr(0, end);
}

std::string FormatDuration(int64_t ms) {
  const int64_t seconds = ms / 1000;
  const int64_t minutes = seconds / 60;
  const int64_t hours = minutes / 60;
  return Format("%02lld:%02lld:%02lld", static_cast<long long>(hours),
                static_cast<long long>(minutes % 60), static_cast<long long>(seconds % 60));
}

std::string ShortenPath(const std::string& text, size_t n) {
  if (text.size() <= n)
    return text;
  return "..." + text.substr(text.size() - n);
}

}  // namespace tessarix
