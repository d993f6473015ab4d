#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.h"
#include "utilities/photo_utility_texts.h"

namespace tessarix {

// One round of the JPEG quality test.
struct QualityStep {
  int quality = 0;
  bool saved = false;                  // the "_Q" file was written
  std::optional<uint32_t> difference;  // D, when the file read back and the photo has one
  std::string path;                    // where the file ended up; empty when not saved
};

// What a photo utility did, so that the window and the command line report the same thing.
// The commands show no message box of their own (the JPEG layer's messages still go through
// Prompt()). A failed status says what stopped the command, keeping the reason the layers below
// gave (errno, libjpeg's words):
//   kCannotRead    the photo cannot be read (path: the photo);
//   kCannotCreate  the quality test's folder cannot be made (path: the folder);
//   kCannotWrite   a picture cannot be saved (path: that file); the quality test goes on with
//                  the other qualities and names the first it could not save;
//   kRefused       the picture cannot be worked on: too small to be made seamless, a mask that
//                  gives no colour areas (whatever kept them from being found), no
//                  de-interlacing, an unknown command (path: the photo or mask);
//   kOutOfMemory   the picture of the mask's areas cannot be drawn (path: the mask).
struct PhotoUtilityResult {
  Status status;
  std::vector<std::string> written;  // files written, in the order they were finished
  std::vector<QualityStep> steps;    // the quality test only: its twenty rounds
};

// path + " Mask.jpg" (quality 100): the area map of the mask file at `path`.
PhotoUtilityResult MaskFileAnalysis(const std::string& path);

// Twenty copies at qualities 5..100 in the "PhotoUtility" folder beside the photo, each renamed
// to carry its mean difference from the photo; an existing file of that name is never replaced.
PhotoUtilityResult JpgQualityTest(const std::string& path);

// stem + " WallPaper.jpg" (quality 100): the photo made seamless with cuts of a ninth.
PhotoUtilityResult PhotoToWallpaper(const std::string& path);

// stem + " DeInterlace030.jpg" .. " DeInterlace100.jpg" (quality 95).
PhotoUtilityResult DeInterlaceSeries(const std::string& path);

// stem + " CutBorder.jpg": the wallpaper picture at quality 80.
PhotoUtilityResult CutBorders(const std::string& path);

PhotoUtilityResult RunPhotoUtility(PhotoUtility command, const std::string& path);

// Asks for the photo `command` works on through Prompt() with the commands' filter; none when
// cancelled.
std::optional<std::string> AskPhotoUtilityFile(PhotoUtility command);

// The command whose command-line name is `name`, if any.
std::optional<PhotoUtility> PhotoUtilityFromCliName(std::string_view name);

// `path` without its last four characters (the ".jpg"), never cutting into the folder part.
std::string OutputStem(const std::string& path);

}  // namespace tessarix
