#include "window_logic/failure_texts.h"

#include <gtest/gtest.h>

#include "movie/movie_stream.h"
#include "test_support.h"

namespace tessarix {
namespace {

TEST(FailureTextsTest, MovieOpenAndExtractionStopTexts) {
  test::TempDir dir;
  MovieStream stream;
  const Status opened = stream.Open(dir.File("missing.avi"));
  ASSERT_FALSE(opened);
  EXPECT_EQ(MovieOpenFailureTexts(opened.Why()),
            (std::vector<std::string>{
                "AVI001: Open file error nr.-2 on file <" + dir.File("missing.avi") + ">",
                "Cannot open the specified file"}));
  // An extraction names a refused cut-out, but not a folder its frame has named already.
  EXPECT_EQ(ExtractionStopText(Failure{FailureKind::kRefused, "/v/clip.avi", 0, {}}),
            "The specified Position/Size is bigger than the size of a single Frame");
  EXPECT_EQ(ExtractionStopText(Failure{FailureKind::kCannotCreate, "/v/clip_FRAMES00001", 20, {}}),
            std::nullopt);
}

}  // namespace
}  // namespace tessarix
