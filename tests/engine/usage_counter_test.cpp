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

TEST_F(UsageCounter, FreshProfileCountsFromZeroAndDatesTheFirstMosaic) {
  EXPECT_EQ(UsageFilePath(), dir_.File("config") + "/tessarix/usage.ini");
  EXPECT_EQ(ReadUsage().mosaicCount, 0);
  ASSERT_TRUE(IncrementMosaicCount());  // the folder does not exist yet
  ASSERT_TRUE(IncrementMosaicCount());
  const UsageRecord after = ReadUsage();
  EXPECT_EQ(after.mosaicCount, 2);
  EXPECT_EQ(after.dateFirstMosaic, Today());
}

TEST_F(UsageCounter, DateIsKeptOnceCountingAndRestartsWithTheCount) {
  WriteFile("[Usage]\nMosaicCount=12\nDateFirstMosaic=2007-3-14\n");
  ASSERT_TRUE(IncrementMosaicCount());
  EXPECT_EQ(ReadUsage().mosaicCount, 13);
  EXPECT_EQ(ReadUsage().dateFirstMosaic, "2007-3-14");

  // The count is read as leading digits, also from a file with Windows line ends.
  WriteFile("MosaicCount=  7 mosaics\r\nDateFirstMosaic=2020-1-2\r\n");
  EXPECT_EQ(ReadUsage().mosaicCount, 7);
  EXPECT_EQ(ReadUsage().dateFirstMosaic, "2020-1-2");

  // A count removed or spoilt by hand restarts the date as well.
  WriteFile("[Usage]\nMosaicCount=many\nDateFirstMosaic=2007-3-14\n");
  EXPECT_EQ(ReadUsage().mosaicCount, 0);
  ASSERT_TRUE(IncrementMosaicCount());
  EXPECT_EQ(ReadUsage().mosaicCount, 1);
  EXPECT_EQ(ReadUsage().dateFirstMosaic, Today());
}

TEST_F(UsageCounter, RelativeConfigHomeFallsBackToHome) {
  const test::ScopedEnv relative("XDG_CONFIG_HOME", "relative/config");
  const test::ScopedEnv home("HOME", dir_.File("home"));
  EXPECT_EQ(UsageFilePath(), dir_.File("home") + "/.config/tessarix/usage.ini");
  ASSERT_TRUE(IncrementMosaicCount());
  EXPECT_TRUE(std::filesystem::exists(dir_.File("home/.config/tessarix/usage.ini")));
}

TEST_F(UsageCounter, UnwritableFolderFails) {
  std::ofstream(dir_.File("config")) << "a plain file where the folder should be";
  EXPECT_FALSE(IncrementMosaicCount());
}

}  // namespace
}  // namespace tessarix
