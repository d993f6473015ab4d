#include "engine/usage_counter.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>

#include "random_fixture.h"

namespace tessarix {
namespace {

std::string Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return std::to_string(local.tm_year + 1900) + "-" + std::to_string(local.tm_mon + 1) + "-" +
         std::to_string(local.tm_mday);
}

// The count is read as leading digits, also from a file with Windows line ends; a count missing
// or spoilt by hand restarts the date as well, and the date of a running count is kept. A
// relative XDG_CONFIG_HOME is ignored for HOME's .config; a file in the folder's way fails.
TEST(UsageCounter, CountsOnFromTheFileAndDatesTheFirstMosaic) {
  test::TempDir dir;
  const test::ScopedEnv configHome("XDG_CONFIG_HOME", dir.File("config"));
  const struct {
    const char* file;  // none: the folder does not exist yet
    int count;
    std::string date;  // after one more mosaic
  } rows[] = {
      {nullptr, 0, Today()},
      {"[Usage]\nMosaicCount=12\nDateFirstMosaic=2007-3-14\n", 12, "2007-3-14"},
      {"MosaicCount=  7 mosaics\r\nDateFirstMosaic=2020-1-2\r\n", 7, "2020-1-2"},
      {"[Usage]\nMosaicCount=many\nDateFirstMosaic=2007-3-14\n", 0, Today()},
  };
  for (const auto& row : rows) {
    if (row.file)
      std::ofstream(dir.File("config/tessarix/usage.ini")) << row.file;
    EXPECT_EQ(ReadUsage().mosaicCount, row.count);
    ASSERT_TRUE(IncrementMosaicCount());
    const UsageRecord after = ReadUsage();
    EXPECT_EQ(std::tuple(after.mosaicCount, after.dateFirstMosaic),
              std::tuple(row.count + 1, row.date));
  }
  const test::ScopedEnv relative("XDG_CONFIG_HOME", "relative/config");
  const test::ScopedEnv home("HOME", dir.File("home"));
  EXPECT_EQ(UsageFilePath(), dir.File("home") + "/.config/tessarix/usage.ini");
  std::ofstream(dir.File("home")) << "a plain file where the folder should be";
  EXPECT_FALSE(IncrementMosaicCount());
}

}  // namespace
}  // namespace tessarix
