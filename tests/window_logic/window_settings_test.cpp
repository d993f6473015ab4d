#include "window_logic/window_settings.h"

#include <gtest/gtest.h>

namespace tessarix {
namespace {

// Each stored value either comes back as it was stored or leaves its default in place; every
// other value keeps its default.
TEST(WindowSettingsTest, StoredValuesNoPersonCouldHaveLeftAreTheDefaults) {
  const std::tuple<const char*, std::string, bool> rows[] = {
      {"border", std::string(255, 'x'), true},  // as typed, even when the check refuses it
      {"border", std::string(256, '7'), false},
      {"jpegQuality", "9\n0", false},
      {"webWidth", "75\x7f", false},
      {"algorithm", "4", true},
      {"algorithm", "5", false},
      {"algorithm", "02", false},
      {"webPage", "true", true},
      {"useAll", "1", false},
  };
  const StoredValues defaults = ToStoredValues(WindowSettings{});
  for (const auto& [name, value, accepted] : rows) {
    StoredValues expected = defaults;
    if (accepted)
      expected[name] = value;
    EXPECT_EQ(ToStoredValues(FromStoredValues({{name, value}})), expected) << name << " " << value;
  }
}

TEST(WindowSettingsTest, OnlyAbsolutePathsWithinBoundsAreOfferedAgain) {
  const std::pair<std::string, bool> rows[] = {
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
