#include "collection/tile_analysis.h"

#include <cerrno>
#include <utility>

#include "color/color_info.h"
#include "imaging/image_ops.h"
#include "imaging/jpeg_file.h"
#include "imaging/orientation.h"
#include "platform/file_status.h"

namespace tessarix {
namespace {

// The centre part of a w x h picture with the aspect ratio of a tw x th tile. 64-bit products,
// since w * th overflows 32 bits for a large tile of a large photo.
struct Crop {
  uint32_t width, height, left, top;
};
Crop CentreCrop(uint32_t w, uint32_t h, uint32_t tw, uint32_t th) {
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
  return {cropW, cropH, (w - cropW) / 2, (h - cropH) / 2};
}

// Whether a w x h picture must be turned to fit a tw x th tile: a portrait picture for a
// landscape tile or the other way round (a square tile takes either).
bool MustTurn(uint32_t w, uint32_t h, uint32_t tw, uint32_t th) {
  return (tw < th) != (w < h) && tw != th;
}

// A record made before photos were read upright holds a photo stored turned by a quarter with
// the stored, sideways size. Only the header is read to tell, never the pixels; a square photo
// cannot be told apart by its size, and neither can a photo turned by half or mirrored.
bool RecordedSideways(const CollectionEntry& entry) {
  if (entry.pixelWidth == entry.pixelHeight)
    return false;
  const std::optional<StoredLayout> stored = ReadStoredLayout(entry.path);
  return stored && SwapsSides(stored->orientation) && stored->width == entry.pixelWidth &&
         stored->height == entry.pixelHeight;
}

// Decodes a photo straight into its tile's resampler, row by row, when the photo is stored upright
// and needs neither turning nor a size it would have to grow in height to: most photos, which
// are then never held whole. It declines every other photo before decoding any row.
class StreamedTile : public RowReceiver {
 public:
  StreamedTile(uint32_t tw, uint32_t th, const int& orientation)
      : tw_(tw), th_(th), orientation_(orientation) {}

  bool Begin(uint32_t width, uint32_t height, uint32_t& rows) override {
    if (orientation_ != kUpright || MustTurn(width, height, tw_, th_))
      return false;
    const Crop crop = CentreCrop(width, height, tw_, th_);
    if (!RowResampler::Takes(tw_, th_, crop.width, crop.height))
      return false;
    // Taken even when the resampler's memory cannot be had: the tile is then missing, as it is
    // when a whole photo cannot be resampled.
    width_ = width;
    height_ = height;
    resampler_ = RowResampler::Make(width, tw_, th_, crop.width, crop.height, crop.left, crop.top);
    rows = crop.top + crop.height;
    return resampler_.has_value();
  }
  Pixel* Row(uint32_t y) override { return resampler_->Row(y); }
  void Filled(uint32_t y) override { resampler_->Filled(y); }

  // Whether Begin took the photo; then its stored size and, once every row is in, the tile (none
  // without the memory for it).
  bool Taken() const { return width_ != 0; }
  uint32_t Width() const { return width_; }
  uint32_t Height() const { return height_; }
  std::optional<Image> Take() { return resampler_ ? resampler_->Take() : std::nullopt; }

 private:
  uint32_t tw_, th_;
  const int& orientation_;
  std::optional<RowResampler> resampler_;
  uint32_t width_ = 0, height_ = 0;
};

// LoadTile into `tile`, with the reason of a failure: the JPEG file's, or kOutOfMemory for a
// photo that cannot be turned or resampled.
Status DecodeTile(CollectionEntry& entry, uint32_t tw, uint32_t th, Image* decodeMemory,
                  std::optional<Image>& tile) {
  // The rows below the crop are never looked at, so they are not decoded either (a 4:3 photo
  // for a 3:2 tile leaves a sixteenth of its rows); a picture to be turned needs them all.
  const auto rowsWanted = [&](uint32_t w, uint32_t h) {
    if (MustTurn(w, h, tw, th))
      return h;
    const Crop crop = CentreCrop(w, h, tw, th);
    return crop.top + crop.height;
  };
  int orientation = kUpright;
  StreamedTile streamed(tw, th, orientation);
  if (Status read = WithJpegMessage(ReadRows(entry.path, streamed, orientation)); !read)
    return read;
  if (streamed.Taken()) {
    entry.pixelWidth = streamed.Width();
    entry.pixelHeight = streamed.Height();
    entry.portrait = streamed.Width() < streamed.Height();
    tile = streamed.Take();
    if (!tile)
      return Failure{FailureKind::kOutOfMemory, entry.path, 0, {}};
    return {};
  }

  Image ownMemory;
  Image& image = decodeMemory != nullptr ? *decodeMemory : ownMemory;
  uint32_t h = 0;
  if (Status loaded = WithJpegMessage(image.LoadJpegTop(entry.path, rowsWanted, h)); !loaded)
    return loaded;
  uint32_t w = image.Width();
  entry.pixelWidth = w;
  entry.pixelHeight = h;
  entry.portrait = w < h;

  const Failure outOfMemory{FailureKind::kOutOfMemory, entry.path, 0, {}};
  // The decoded photo stays where it is, so that its memory serves the next one.
  std::optional<Image> turned;
  if (MustTurn(w, h, tw, th)) {
    turned = Rotate(image, -90);
    if (!turned)
      return outOfMemory;
    std::swap(w, h);
  }
  const Image& source = turned ? *turned : image;

  const Crop crop = CentreCrop(w, h, tw, th);
  const bool alreadyThere = w == tw && h == th && crop.width == tw && crop.height == th;
  tile = alreadyThere ? std::optional<Image>(source)
                      : Resample(source, tw, th, crop.width, crop.height, crop.left, crop.top);
  if (!tile)
    return outOfMemory;
  return {};
}

}  // namespace

std::optional<Image> LoadTile(CollectionEntry& entry, uint32_t tw, uint32_t th,
                              Image* decodeMemory) {
  std::optional<Image> tile;
  if (tw == 0 || th == 0 || !DecodeTile(entry, tw, th, decodeMemory, tile))
    return std::nullopt;
  return tile;
}

Status AnalyseEntry(CollectionEntry& entry, Image* decodeMemory) {
  const std::optional<FileStatus> status = StatFile(entry.path);
  if (!status) {
    const int error = errno;
    entry.valid = 0;
    return Failure{FailureKind::kCannotRead, entry.path, error, {}};
  }
  if (entry.pixelWidth != 0 && entry.modificationTime == status->modificationTime &&
      entry.fileSize == status->size && !RecordedSideways(entry)) {
    return {};
  }
  entry.modificationTime = status->modificationTime;
  entry.fileSize = status->size;
  std::optional<Image> thumbnail;
  if (Status decoded = DecodeTile(entry, kThumbWidth, kThumbHeight, decodeMemory, thumbnail);
      !decoded)
    return decoded;
  ComputeColorInfo(entry.info, *thumbnail);
  return {};
}

}  // namespace tessarix
