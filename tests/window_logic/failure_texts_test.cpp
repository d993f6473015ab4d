#include "window_logic/failure_texts.h"

#include <gtest/gtest.h>

#include "movie/movie_stream.h"
#include "test_support.h"

namespace tessarix {
namespace {

TEST(FailureTextsTest, MovieThatCannotBeOpenedGivesFfmpegsNumberAndTheFile) {
  test::TempDir dir;
  MovieStream stream;
  const Status opened = stream.Open(dir.File("missing.avi"));
  ASSERT_FALSE(opened);
  EXPECT_EQ(MovieOpenFailureTexts(opened.Why()),
            (std::vector<std::string>{
                "AVI001: Open file error nr.-2 on file <" + dir.File("missing.avi") + ">",
                "Cannot open the specified file"}));
}

}  // namespace
}  // namespace tessarix
