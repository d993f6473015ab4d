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

PhotoUtilityResult Failed(FailureKind kind, const std::string& path) {
  PhotoUtilityResult result;
  result.status = Failure{kind, path, 0, {}};
  return result;
}

// A failure of the layer below, named for the step of the command it stopped: the operating
// system's error and the library's words stay.
Failure StepFailure(FailureKind kind, const std::string& path, const Status& cause) {
  return Failure{kind, path, cause.Why().systemError, cause.Why().detail};
}

PhotoUtilityResult Failed(FailureKind kind, const std::string& path, const Status& cause) {
  PhotoUtilityResult result;
  result.status = StepFailure(kind, path, cause);
  return result;
}

// The wallpaper and the border cut differ only in their name and quality.
PhotoUtilityResult SaveSeamless(const std::string& path, const char* suffix, int quality) {
  Image photo;
  if (const Status loaded = WithJpegMessage(photo.LoadJpeg(path)); !loaded)
    return Failed(FailureKind::kCannotRead, path, loaded);
  const std::optional<Image> seamless = MakeSeamless(photo, photo.Width() / 9, photo.Height() / 9);
  if (!seamless)
    return Failed(FailureKind::kRefused, path);
  const std::string target = OutputStem(path) + suffix;
  if (const Status saved = WithJpegMessage(seamless->SaveJpeg(target, quality)); !saved)
    return Failed(FailureKind::kCannotWrite, target, saved);
  PhotoUtilityResult result;
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
  if (!BuildMaskCells(cells, path).status)
    return Failed(FailureKind::kRefused, path);
  const std::optional<Image> map = RenderMaskInfo(cells);
  if (!map)
    return Failed(FailureKind::kOutOfMemory, path);
  // The extension stays inside the new name: heart.jpg gives "heart.jpg Mask.jpg".
  const std::string target = path + " Mask.jpg";
  if (const Status saved = WithJpegMessage(map->SaveJpeg(target, 100)); !saved)
    return Failed(FailureKind::kCannotWrite, target, saved);
  PhotoUtilityResult result;
  result.written.push_back(target);
  return result;
}

PhotoUtilityResult JpgQualityTest(const std::string& path) {
  Image photo;
  if (const Status loaded = WithJpegMessage(photo.LoadJpeg(path)); !loaded)
    return Failed(FailureKind::kCannotRead, path, loaded);

  const size_t folderLength = FolderLength(path);
  const std::string folder = path.substr(0, folderLength) + "PhotoUtility/";
  std::error_code created, looked;
  std::filesystem::create_directory(folder, created);
  // Without the folder every save would fail, each with a message of its own: stop once.
  if (!std::filesystem::is_directory(folder, looked)) {
    PhotoUtilityResult result;
    result.status = Failure{FailureKind::kCannotCreate, folder, created.value(), {}};
    return result;
  }
  const std::string base = folder + CutExtension(path.substr(folderLength));

  PhotoUtilityResult result;
  for (int quality = 5; quality <= 100; quality += 5) {
    QualityStep step;
    step.quality = quality;
    const std::string saved = base + Format("_Q%03d.jpg", quality);
    if (const Status written = WithJpegMessage(photo.SaveJpeg(saved, quality)); !written) {
      if (result.status)
        result.status = StepFailure(FailureKind::kCannotWrite, saved, written);
    } else {
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
  if (const Status loaded = WithJpegMessage(photo.LoadJpeg(path)); !loaded)
    return Failed(FailureKind::kCannotRead, path, loaded);
  const std::string stem = OutputStem(path);
  PhotoUtilityResult result;
  for (uint32_t strength = 30; strength <= 100; strength += 10) {
    Image copy = photo;
    if (!DeInterlace(copy, strength)) {
      result.status = Failure{FailureKind::kRefused, path, 0, {}};
      return result;
    }
    const std::string target = stem + Format(" DeInterlace%03u.jpg", strength);
    if (const Status saved = WithJpegMessage(copy.SaveJpeg(target, 95)); !saved) {
      result.status = StepFailure(FailureKind::kCannotWrite, target, saved);
      return result;
    }
    result.written.push_back(target);
  }
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
  return Failed(FailureKind::kRefused, path);
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
