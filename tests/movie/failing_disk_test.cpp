// Frames extracted onto a disk that is full: every frame is refused with the program's messages,
// nothing half-written is left, and the frames of an earlier extraction stay as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "movie/frame_extraction.h"
#include "movie/movie_stream.h"
#include "platform/text_format.h"
#include "resource_limits.h"
#include "test_support.h"
#include "test_video.h"

namespace tessarix::test {
namespace {

namespace fs = std::filesystem;

TEST(FramesOnFailingDisk, FullDiskRefusesEveryFrameAndKeepsEarlierFrames) {
  TempDir dir;
  VideoSpec video;
  video.frames = 4;
  const std::string moviePath = dir.File("clip.avi");
  ASSERT_TRUE(WriteCodedVideo(moviePath, video));
  MovieStream stream;
  ASSERT_TRUE(stream.Open(moviePath));

  // An earlier extraction lies in the first folder.
  const std::string earlier = FramesFolderName(dir.File("clip"), 1);
  fs::create_directory(earlier);
  std::ofstream(earlier + "/FR00001.jpg") << "earlier frame";

  ExtractionFields fields = DefaultExtractionFields(stream);
  fields.writeBmp = true;  // both writers meet the full disk
  const LimitedRun run = RunWithFileSizeLimit(100, [&] {
    RecordingPrompt prompt;
    const ExtractionResult result =
        ExtractFrames(stream, moviePath, fields, [](const std::string&) {});
    std::string report = Format("written %d failures %d finished %d", result.written,
                                result.saveFailures, result.finished ? 1 : 0);
    for (const std::string& m : prompt.messages) report += "|" + m;
    return report;
  });
  ASSERT_TRUE(run.exited);

  const std::string folder = FramesFolderName(dir.File("clip"), 2);
  std::string expected = "written 4 failures 4 finished 1";
  for (int n = 1; n <= 4; ++n) {
    expected += "|JpegFile :\nCan't open " + folder + Format("/FR%05d.jpg", n) + "\n";
    expected += Format("|Cannot save frame nr.%d.", n);
  }
  EXPECT_EQ(run.report, expected);
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_TRUE(fs::is_empty(folder)) << "a half-written frame was left";
  EXPECT_EQ(ReadBytes(earlier + "/FR00001.jpg"),
            std::vector<unsigned char>(
                {'e', 'a', 'r', 'l', 'i', 'e', 'r', ' ', 'f', 'r', 'a', 'm', 'e'}));
  EXPECT_EQ(std::distance(fs::directory_iterator(earlier), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace tessarix::test
