#include "window_logic/window_texts.h"

#include <gtest/gtest.h>

namespace tessarix {
namespace {

TEST(WindowTextsTest, StartButtonFollowsTheBatch) {
  EXPECT_EQ(StartButtonCaption(false, false), "&Create the Mosaic's");
  EXPECT_EQ(StartButtonCaption(false, true), "&Create the Mosaic's");
  EXPECT_EQ(StartButtonCaption(true, false), "Stop the Mosaic's");
  EXPECT_EQ(StartButtonCaption(true, true), "Stopping...");
}

TEST(WindowTextsTest, UsageLineAndDialogFilters) {
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
  JobPoll idle = PollJob(job);
  EXPECT_EQ(idle.progressLine, "");
  EXPECT_FALSE(idle.progressBar.has_value());
  job.SetInfoText("All Parameters are correct. :)");
  job.SetStatus("Loading");
  job.StartBatch(1);
  job.ResetProgress();
  const JobPoll started = PollJob(job);
  EXPECT_EQ(started.statusLine, "Loading");
  EXPECT_EQ(started.infoText, "All Parameters are correct. :)");
  ASSERT_TRUE(started.progressBar.has_value());
  EXPECT_EQ(*started.progressBar, 0);
  EXPECT_TRUE(job.StatusSeen());
}

}  // namespace
}  // namespace tessarix
