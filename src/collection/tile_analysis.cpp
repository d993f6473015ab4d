#include "collection/tile_analysis.h"

#include <utility>

#include "engine/color_info.h"
#include "imaging/image_ops.h"
#include "platform/file_status.h"

namespace tessarix {

std::optional<Image> LoadTile(CollectionEntry& entry, uint32_t tw, uint32_t th) {
  if (tw == 0 || th == 0)
    return std::nullopt;
  Image image;
  if (!image.LoadJpeg(entry.path))
    return std::nullopt;
  uint32_t w = image.Width();
  uint32_t h = image.Height();
  entry.pixelWidth = w;
  entry.pixelHeight = h;
  entry.portrait = w < h ? 1 : 0;

  if ((tw < th) != (entry.portrait != 0) && tw != th) {
    if (!image.TakeOver(Rotate(image, -90)))
      return std::nullopt;
    std::swap(w, h);
  }

  // Centre crop to the target's aspect ratio; 64-bit products, since w * th overflows 32 bits
  // for a large tile of a large photo.
  uint32_t cropW = w;
  uint32_t cropH = static_cast<uint32_t>(uint64_t{w} * th / tw);
  if (cropH == 0)
    cropH = 1;
  if (cropH > h) {
    cropW = static_cast<uint32_t>(uint64_t{h} * tw / th);
    if (cropW == 0)
      cropW = 1;
    cropH = h;
  }
  const uint32_t offX = (w - cropW) / 2;
  const uint32_t offY = (h - cropH) / 2;

  const bool alreadyThere =
      w == tw && h == th && cropW == tw && cropH == th && offX == 0 && offY == 0;
  if (!alreadyThere) {
    if (!image.TakeOver(Resample(image, tw, th, cropW, cropH, offX, offY)))
      return std::nullopt;
  }
  return image;
}

bool AnalyseEntry(CollectionEntry& entry) {
  const std::optional<FileStatus> status = StatFile(entry.path);
  if (!status) {
    entry.valid = 0;
    return false;
  }
  if (entry.pixelWidth != 0 && entry.modificationTime == status->modificationTime &&
      entry.fileSize == status->size) {
    return true;
  }
  entry.modificationTime = status->modificationTime;
  entry.fileSize = status->size;
  const std::optional<Image> thumbnail = LoadTile(entry, kThumbWidth, kThumbHeight);
  if (!thumbnail)
    return false;
  ComputeColorInfo(entry.info, *thumbnail);
  return true;
}

}  // namespace tessarix
