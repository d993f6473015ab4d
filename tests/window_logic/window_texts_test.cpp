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
  EXPECT_EQ(UsageLine({12, "2007-3-14"}), "You have created 12 Mosaics since 2007-3-14!");
  EXPECT_EQ(ToDialogFilter("Images JPEG (*.jpg)|*.jpg;*.jpeg;*.jpe||"),
            "Images JPEG (*.jpg *.jpeg *.jpe)");
  EXPECT_EQ(ToDialogFilter("Movies (*.avi)|*.avi|Other videos|*.mp4;;*.mkv||"),
            "Movies (*.avi);;Other videos (*.mp4 *.mkv)");
  EXPECT_EQ(ToDialogFilter("All|"), "All (*)");
  EXPECT_EQ(ToDialogFilter(""), "");
}

}  // namespace
}  // namespace tessarix
