#include "window_logic/window_texts.h"

#include <gtest/gtest.h>

namespace tessarix {
namespace {

TEST(WindowTextsTest, StartButtonUsageLineAndDialogFilters) {
  EXPECT_EQ(
      (std::vector<std::string>{StartButtonCaption(false, false), StartButtonCaption(false, true),
                                StartButtonCaption(true, false), StartButtonCaption(true, true)}),
      (std::vector<std::string>{"&Create the Mosaic's", "&Create the Mosaic's", "Stop the Mosaic's",
                                "Stopping..."}));
  EXPECT_EQ(UsageLine({}), "What are you waiting? Create your first mosaic!");
  EXPECT_EQ(UsageLine({-3, "2007-3-14"}), "What are you waiting? Create your first mosaic!");
  EXPECT_EQ(UsageLine({12, "2007-3-14"}), "You have created 12 Mosaics since 2007-3-14!");
  EXPECT_EQ(ToDialogFilter("Images JPEG (*.jpg)|*.jpg;*.jpeg;*.jpe||"),
            "Images JPEG (*.jpg *.jpeg *.jpe)");
  EXPECT_EQ(ToDialogFilter("Movies (*.avi)|*.avi|Other videos|*.mp4;;*.mkv||"),
            "Movies (*.avi);;Other videos (*.mp4 *.mkv)");
  EXPECT_EQ(ToDialogFilter("All|"), "All (*)");
  EXPECT_EQ(ToDialogFilter(""), "");
}

TEST(WindowTextsTest, PollBeforeAndAfterABatch) {
  MosaicJob job;
  EXPECT_FALSE(PollJob(job).progressBar.has_value());
  job.SetInfoText("All Parameters are correct. :)");
  job.SetStatus("Loading");
  job.StartBatch(1);
  job.ResetProgress();
  const JobPoll started = PollJob(job);
  EXPECT_EQ(std::tuple(started.statusLine, started.infoText, started.progressBar),
            std::tuple("Loading", "All Parameters are correct. :)", std::optional(0)));
  EXPECT_TRUE(job.StatusSeen());
}

}  // namespace
}  // namespace tessarix
