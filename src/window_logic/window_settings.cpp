#include "window_logic/window_settings.h"

#include <algorithm>

namespace tessarix {
namespace {

constexpr size_t kTextLimit = 255;
constexpr size_t kPathLimit = 4096;
// "Exponential", "Standard", "Flip Horiz.", "Flip Horiz+Vert", "Max".
constexpr int kAlgorithmChoices = 5;

bool HasControlCharacter(const std::string& text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

// The text members of the settings under their stored names.
template <typename Settings, typename Fn>
void ForEachText(Settings& s, Fn&& fn) {
  fn("mosaicWidth", s.fields.mosaicWidth);
  fn("tilesPerRow", s.fields.tilesPerRow);
  fn("tileWidth", s.fields.tileWidth);
  fn("border", s.fields.border);
  fn("duplicateDistance", s.fields.duplicateDistance);
  fn("maxDuplicates", s.fields.maxDuplicates);
  fn("modification", s.fields.modification);
  fn("sequenceDistance", s.fields.sequenceDistance);
  fn("jpegQuality", s.fields.jpegQuality);
  fn("webWidth", s.webWidth);
}

template <typename Settings, typename Fn>
void ForEachFlag(Settings& s, Fn&& fn) {
  fn("useAll", s.useAll);
  fn("textReport", s.textReport);
  fn("webPage", s.webPage);
}

}  // namespace

StoredValues ToStoredValues(const WindowSettings& settings) {
  StoredValues stored;
  ForEachText(settings, [&](const char* name, const std::string& text) { stored[name] = text; });
  ForEachFlag(settings, [&](const char* name, bool on) { stored[name] = on ? "true" : "false"; });
  stored["algorithm"] = std::to_string(settings.fields.algorithmIndex);
  return stored;
}

WindowSettings FromStoredValues(const StoredValues& stored) {
  WindowSettings settings;
  const auto find = [&](const char* name) -> const std::string* {
    const auto it = stored.find(name);
    return it == stored.end() ? nullptr : &it->second;
  };
  ForEachText(settings, [&](const char* name, std::string& text) {
    const std::string* value = find(name);
    if (value != nullptr && value->size() <= kTextLimit && !HasControlCharacter(*value))
      text = *value;
  });
  ForEachFlag(settings, [&](const char* name, bool& on) {
    const std::string* value = find(name);
    if (value != nullptr && (*value == "true" || *value == "false"))
      on = *value == "true";
  });
  const std::string* algorithm = find("algorithm");
  if (algorithm != nullptr && algorithm->size() == 1 && (*algorithm)[0] >= '0' &&
      (*algorithm)[0] < '0' + kAlgorithmChoices)
    settings.fields.algorithmIndex = (*algorithm)[0] - '0';
  return settings;
}

bool AcceptedPath(const std::string& path) {
  return !path.empty() && path[0] == '/' && path.size() <= kPathLimit && !HasControlCharacter(path);
}

}  // namespace tessarix
