#include "utilities/photo_utilities.h"

#include <filesystem>
#include <system_error>

#include "engine/mask_cells.h"
#include "imaging/deinterlace.h"
#include "imaging/image_ops.h"
#include "imaging/jpeg_file.h"
#include "platform/rename_no_replace.h"
#include "platform/text_format.h"
#include "platform/user_prompt.h"

namespace tessarix {
namespace {

constexpr uint32_t kNoDifference = 0xFFFFFFFFu;

// Length of the folder part of `path`, its trailing "/" included.
size_t FolderLength(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

// `name` without its last four characters; a shorter name leaves nothing.
std::string CutExtension(const std::string& name) {
  return name.size() > 4 ? name.substr(0, name.size() - 4) : std::string();
}

PhotoUtilityResult Failed(std::string message) {
  PhotoUtilityResult result;
  result.message = std::move(message);
  return result;
}

std::string CannotRead(const std::string& path) {
  return Format("Cannot read the photo %s.", path.c_str());
}

std::string CannotSave(const std::string& path) {
  return Format("Cannot save %s.", path.c_str());
}

// The wallpaper and the border cut differ only in their name and quality.
PhotoUtilityResult SaveSeamless(const std::string& path, const char* suffix, int quality) {
  Image photo;
  if (!WithJpegMessage(photo.LoadJpeg(path)))
    return Failed(CannotRead(path));
  const std::optional<Image> seamless = MakeSeamless(photo, photo.Width() / 9, photo.Height() / 9);
  if (!seamless)
    return Failed(Format("Cannot make %s seamless.", path.c_str()));
  const std::string target = OutputStem(path) + suffix;
  if (!WithJpegMessage(seamless->SaveJpeg(target, quality)))
    return Failed(CannotSave(target));
  PhotoUtilityResult result;
  result.ok = true;
  result.written.push_back(target);
  return result;
}

}  // namespace

std::string OutputStem(const std::string& path) {
  const size_t folder = FolderLength(path);
  return path.substr(0, folder) + CutExtension(path.substr(folder));
}

PhotoUtilityResult MaskFileAnalysis(const std::string& path) {
  std::vector<MosaicCell> cells;
  if (!BuildMaskCells(cells, path).status) {
    return Failed(Format("Cannot find colour areas in %s.", path.c_str()));
  }
  const std::optional<Image> map = RenderMaskInfo(cells);
  if (!map)
    return Failed(Format("Cannot draw the areas of %s.", path.c_str()));
  // The extension stays inside the new name: heart.jpg gives "heart.jpg Mask.jpg".
  const std::string target = path + " Mask.jpg";
  if (!WithJpegMessage(map->SaveJpeg(target, 100)))
    return Failed(CannotSave(target));
  PhotoUtilityResult result;
  result.ok = true;
  result.written.push_back(target);
  return result;
}

PhotoUtilityResult JpgQualityTest(const std::string& path) {
  Image photo;
  if (!WithJpegMessage(photo.LoadJpeg(path)))
    return Failed(CannotRead(path));

  const size_t folderLength = FolderLength(path);
  const std::string folder = path.substr(0, folderLength) + "PhotoUtility/";
  std::error_code error;
  std::filesystem::create_directory(folder, error);
  // Without the folder every save would fail, each with a message of its own: stop once.
  if (!std::filesystem::is_directory(folder, error)) {
    return Failed(Format("Cannot create the folder %s.", folder.c_str()));
  }
  const std::string base = folder + CutExtension(path.substr(folderLength));

  PhotoUtilityResult result;
  for (int quality = 5; quality <= 100; quality += 5) {
    QualityStep step;
    step.quality = quality;
    const std::string saved = base + Format("_Q%03d.jpg", quality);
    if (WithJpegMessage(photo.SaveJpeg(saved, quality))) {
      step.saved = true;
      step.path = saved;
      Image reloaded;
      if (WithJpegMessage(reloaded.LoadJpeg(saved))) {
        // Photos of fewer than ten pixels have no D: their "_Q" file simply stays.
        const uint32_t difference = MeanDifference(photo, reloaded);
        if (difference != kNoDifference) {
          step.difference = difference;
          const std::string named = base + Format("_Q%03d_D%04u.jpg", quality, difference);
          if (RenameNoReplace(saved, named))
            step.path = named;
        }
      }
      result.written.push_back(step.path);
    }
    result.steps.push_back(step);
  }
  result.ok = result.written.size() == result.steps.size();
  if (!result.ok) {
    result.message =
        Format("Saved %zu of the %zu qualities.", result.written.size(), result.steps.size());
  }
  return result;
}

PhotoUtilityResult PhotoToWallpaper(const std::string& path) {
  return SaveSeamless(path, " WallPaper.jpg", 100);
}

PhotoUtilityResult CutBorders(const std::string& path) {
  return SaveSeamless(path, " CutBorder.jpg", 80);
}

PhotoUtilityResult DeInterlaceSeries(const std::string& path) {
  Image photo;
  if (!WithJpegMessage(photo.LoadJpeg(path)))
    return Failed(CannotRead(path));
  const std::string stem = OutputStem(path);
  PhotoUtilityResult result;
  for (uint32_t strength = 30; strength <= 100; strength += 10) {
    Image copy = photo;
    if (!DeInterlace(copy, strength)) {
      result.message = Format("Cannot de-interlace %s.", path.c_str());
      return result;
    }
    const std::string target = stem + Format(" DeInterlace%03u.jpg", strength);
    if (!WithJpegMessage(copy.SaveJpeg(target, 95))) {
      result.message = CannotSave(target);
      return result;
    }
    result.written.push_back(target);
  }
  result.ok = true;
  return result;
}

PhotoUtilityResult RunPhotoUtility(PhotoUtility command, const std::string& path) {
  switch (command) {
    case PhotoUtility::MaskAnalysis:
      return MaskFileAnalysis(path);
    case PhotoUtility::QualityTest:
      return JpgQualityTest(path);
    case PhotoUtility::Wallpaper:
      return PhotoToWallpaper(path);
    case PhotoUtility::DeInterlace:
      return DeInterlaceSeries(path);
    case PhotoUtility::CutBorders:
      return CutBorders(path);
  }
  return Failed("Unknown photo utility.");
}

std::optional<std::string> AskPhotoUtilityFile(PhotoUtility command) {
  return Prompt().AskOpenFile(std::string(kPhotoUtilityFilter),
                              std::string(kPhotoUtilityDefaultExtension),
                              std::string(PhotoUtilityInfoOf(command).dialogTitle), 0);
}

std::optional<PhotoUtility> PhotoUtilityFromCliName(std::string_view name) {
  for (const PhotoUtilityInfo& info : kPhotoUtilities) {
    if (info.cliName == name)
      return info.command;
  }
  return std::nullopt;
}

}  // namespace tessarix
