#include "platform/rename_no_replace.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "test_support.h"

namespace tessarix {
namespace {

// Both ways of moving must move into a free name only and leave an existing target alone.
TEST(RenameNoReplace, MovesOnlyIntoAFreeName) {
  for (auto move : {&RenameNoReplace, &LinkThenUnlink}) {
    test::TempDir dir;
    const std::string from = dir.File("a_Q050.jpg"), to = dir.File("a_Q050_D0042.jpg");
    std::ofstream(from) << "new";
    std::ofstream(to) << "old";
    const Status refused = move(from, to);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.Why().systemError, EEXIST);
    EXPECT_EQ(test::ReadBytes(from), (std::vector<unsigned char>{'n', 'e', 'w'}));
    EXPECT_EQ(test::ReadBytes(to), (std::vector<unsigned char>{'o', 'l', 'd'}));

    std::filesystem::remove(to);
    EXPECT_TRUE(move(from, to));
    EXPECT_FALSE(std::filesystem::exists(from));
    EXPECT_EQ(test::ReadBytes(to), (std::vector<unsigned char>{'n', 'e', 'w'}));
    EXPECT_FALSE(move(dir.File("missing.jpg"), dir.File("other.jpg")));
  }
}

}  // namespace
}  // namespace tessarix
