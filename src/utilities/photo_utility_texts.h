#pragma once

#include <array>
#include <string_view>

namespace tessarix {

// The five photo utilities, in the order of their buttons.
enum class PhotoUtility { MaskAnalysis, QualityTest, Wallpaper, DeInterlace, CutBorders };

struct PhotoUtilityInfo {
  PhotoUtility command;
  std::string_view button;       // the button text
  std::string_view description;  // the text beside the button
  std::string_view cliName;      // the word after `tessarix-cli utility`
  std::string_view dialogTitle;  // the open-file dialog's title: what to choose
  // The wait cursor already shows during the file dialog; the mask analysis only shows it once
  // the file is chosen.
  bool waitCursorDuringDialog;
};

inline constexpr std::string_view kPhotoUtilitiesTitle = "Photo Utilities";
inline constexpr std::string_view kPhotoUtilitiesClose = "Close";

// The open-file dialog of every command.
inline constexpr std::string_view kPhotoUtilityFilter = "Images jpeg (*.jpg)|*.jpg;*.jpeg;*.jpe||";
inline constexpr std::string_view kPhotoUtilityDefaultExtension = "jpg";

// The texts stand as the window has always shown them, the odd spelling included: people know
// the window by them.
inline constexpr std::array<PhotoUtilityInfo, 5> kPhotoUtilities = {{
    {PhotoUtility::MaskAnalysis, "Mask File Analysis",
     "This function will save a new photo that is the result of the analyzed Mask File. It "
     "will save a file in the same directory of the specified file.",
     "mask-analysis", "Choose the mask file to analyse", false},
    {PhotoUtility::QualityTest, "JPG Quality Test",
     "It will save 20 different JPG photos with different compression Quality. The images are "
     "saved into a subdirectory called \"PhotoUtility\".",
     "quality-test", "Choose the photo for the quality test", true},
    {PhotoUtility::Wallpaper, "Photo to Wallpaper",
     "Convert to Wallpaper to be used as a tile. The saved image will have the name "
     "\"...Wallaper.jpg\"",
     "wallpaper", "Choose the photo to turn into a wallpaper", true},
    {PhotoUtility::DeInterlace, "De-Interlace",
     "It will save 8 JPG photos, De-Interlaced with a strength from 30 to 100: "
     "\"... DeInterlace030.jpg\" to \"... DeInterlace100.jpg\".",
     "deinterlace", "Choose the photo to de-interlace", true},
    {PhotoUtility::CutBorders, "Cut Borders",
     "Cut Borders of Photo and save in 80% Quality. The saved image will be "
     "\"...CutBorder.jpg\".",
     "cut-borders", "Choose the photo to cut the borders from", true},
}};

// The entry of `command` in the table above.
constexpr const PhotoUtilityInfo& PhotoUtilityInfoOf(PhotoUtility command) {
  return kPhotoUtilities[static_cast<size_t>(command)];
}

}  // namespace tessarix
