#include "engine/usage_counter.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>

#include "random_fixture.h"

namespace tessarix {
namespace {

// Points the counter at a fresh folder and restores the environment afterwards.
class UsageCounter : public ::testing::Test {
 protected:
  void WriteFile(const std::string& text) const {
    std::filesystem::create_directories(dir_.Path() / "config/tessarix");
    std::ofstream(dir_.File("config/tessarix/usage.ini")) << text;
  }

  test::TempDir dir_;
  test::ScopedEnv configHome_{"XDG_CONFIG_HOME", dir_.File("config")};
};

std::string Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return std::to_string(local.tm_year + 1900) + "-" + std::to_string(local.tm_mon + 1) + "-" +
         std::to_string(local.tm_mday);
}

// The count is read as leading digits, also from a file with Windows line ends; a count missing
// or spoilt by hand restarts the date as well, and the date of a running count is kept.
TEST_F(UsageCounter, CountsOnFromTheFileAndDatesTheFirstMosaic) {
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
      WriteFile(row.file);
    EXPECT_EQ(ReadUsage().mosaicCount, row.count);
    ASSERT_TRUE(IncrementMosaicCount());
    const UsageRecord after = ReadUsage();
    EXPECT_EQ(std::tuple(after.mosaicCount, after.dateFirstMosaic),
              std::tuple(row.count + 1, row.date));
  }
}

TEST_F(UsageCounter, RelativeConfigHomeFallsBackToHomeAndAFileInTheWayFails) {
  const test::ScopedEnv relative("XDG_CONFIG_HOME", "relative/config");
  const test::ScopedEnv home("HOME", dir_.File("home"));
  EXPECT_EQ(UsageFilePath(), dir_.File("home") + "/.config/tessarix/usage.ini");
  std::ofstream(dir_.File("home")) << "a plain file where the folder should be";
  EXPECT_FALSE(IncrementMosaicCount());
}

}  // namespace
}  // namespace tessarix
