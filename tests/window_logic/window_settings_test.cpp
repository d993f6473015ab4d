#include "window_logic/window_settings.h"

#include <gtest/gtest.h>

namespace tessarix {
namespace {

// Each stored value either comes back as it was stored or leaves its default in place; every
// other value keeps its default.
TEST(WindowSettingsTest, StoredValuesNoPersonCouldHaveLeftAreTheDefaults) {
  struct Row {
    const char* name;
    std::string value;
    bool accepted;
  };
  const Row rows[] = {
      {"mosaicWidth", "abc", true},  // as typed, even when the check refuses it
      {"tileWidth", "", true},
      {"border", std::string(255, '7'), true},
      {"border", std::string(256, '7'), false},
      {"jpegQuality", "9\n0", false},
      {"webWidth", "75\x7f", false},
      {"algorithm", "4", true},
      {"algorithm", "5", false},
      {"algorithm", "-1", false},
      {"algorithm", "02", false},
      {"webPage", "true", true},
      {"useAll", "1", false},
  };
  const StoredValues defaults = ToStoredValues(WindowSettings{});
  for (const Row& row : rows) {
    StoredValues expected = defaults;
    if (row.accepted)
      expected[row.name] = row.value;
    EXPECT_EQ(ToStoredValues(FromStoredValues({{row.name, row.value}})), expected)
        << row.name << " " << row.value;
  }
}

TEST(WindowSettingsTest, OnlyAbsolutePathsWithinBoundsAreOfferedAgain) {
  const std::pair<std::string, bool> rows[] = {
      {"/home/kim/c.tzc", true},
      {"", false},
      {"c.tzc", false},
      {"/home/kim\n/c.tzc", false},
      {"/" + std::string(4095, 'a'), true},
      {"/" + std::string(4096, 'a'), false},
  };
  for (const auto& [path, accepted] : rows) EXPECT_EQ(AcceptedPath(path), accepted) << path;
}

}  // namespace
}  // namespace tessarix
