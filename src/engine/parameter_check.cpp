#include "engine/parameter_check.h"

#include <limits>

#include "platform/memory_limit.h"
#include "platform/text_format.h"

namespace tessarix {
namespace {

// Wide enough that no product of the geometry (at most three 32-bit factors, or a 65-bit grid
// width times a 32-bit height) wraps before the limits can refuse it.
__extension__ using Wide = unsigned __int128;

constexpr uint64_t kMaxTilesPerRow = 4096;
constexpr uint64_t kMaxTilesPerColumn = 4096;
constexpr uint64_t kMaxPixels = 55000000;
constexpr uint64_t kMaxSide = 32767;
constexpr uint64_t kMaxTiles = 65535;

uint64_t Narrow(Wide value) {
  constexpr uint64_t kTop = std::numeric_limits<uint64_t>::max();
  return value > kTop ? kTop : static_cast<uint64_t>(value);
}

// A typed number as the window reads it: a negative entry becomes a huge unsigned value.
uint32_t FieldValue(const std::string& text) {
  return static_cast<uint32_t>(ParseLeadingInt(text));
}

unsigned long long Ull(uint64_t v) {
  return static_cast<unsigned long long>(v);
}

// The first limit the grid exceeds, as its message; empty when it fits.
std::string LimitMessage(const MosaicGeometry& g) {
  if (g.tilesPerRow > kMaxTilesPerRow)
    return Format(
        "The number of Tiles per Row is %llu (maximum is %llu). Please change the Mosaic/Tile "
        "Width or the Number of Tiles.",
        Ull(g.tilesPerRow), Ull(kMaxTilesPerRow));
  if (g.tilesPerColumn > kMaxTilesPerColumn)
    return Format(
        "The number of Tiles per Column is %llu (maximum is %llu). Please change the "
        "Mosaic/Tile Width or the Number of Tiles.",
        Ull(g.tilesPerColumn), Ull(kMaxTilesPerColumn));
  if (g.totalPixels > kMaxPixels)
    return Format(
        "The resulting size of the mosaic is %llu (maximum is %llu pixels). Please change the "
        "Number of Tiles or the Tile Width.",
        Ull(g.totalPixels), Ull(kMaxPixels));
  if (g.mosaicWidth > kMaxSide)
    return Format(
        "The resulting Width is %llu (maximum is %llu pixels). Please change the Mosaic/Tile "
        "Width or the Number of Tiles.",
        Ull(g.mosaicWidth), Ull(kMaxSide));
  if (g.mosaicHeight > kMaxSide)
    return Format(
        "The resulting Height is %llu (maximum is %llu pixels). Please change the Mosaic/Tile "
        "Width or the Number of Tiles.",
        Ull(g.mosaicHeight), Ull(kMaxSide));
  if (g.totalTiles > kMaxTiles)
    return Format(
        "The resulting number of Tiles is %llu (maximum is %llu). Please change the Number of "
        "Tiles or the Tile Width.",
        Ull(g.totalTiles), Ull(kMaxTiles));
  return {};
}

}  // namespace

MosaicGeometry ComputeMosaicGeometry(uint64_t W, uint64_t H, uint64_t n, uint64_t w, uint64_t b) {
  MosaicGeometry g;
  if (n == 0 || w == 0)
    return g;
  if (W == 0 || H == 0) {
    // No source yet: estimate for a square one.
    g.totalTiles = SaturatingProduct(n, n);
    g.totalPixels = SaturatingProduct(SaturatingProduct(n, n), SaturatingProduct(w, w));
    return g;
  }
  const Wide h = Wide{8} * w / 12;
  // A tile one pixel wide has no height to count rows by; the check refuses such a width.
  if (h == 0)
    return g;
  const Wide rows = (Wide{H} * n * w / W) / h;
  const Wide gridW = Wide{n - 1} * b + Wide{n} * w;
  const Wide gridH = rows == 0 ? 0 : (rows - 1) * b + rows * h;
  Wide width = gridW;
  Wide height = gridH;
  if (gridW != 0 && gridH != 0) {
    height = gridW * H / W;
    if (height == 0)
      height = 1;
    if (height > gridH) {
      width = gridH * W / H;
      if (width == 0)
        width = 1;
      height = gridH;
    } else {
      width = gridW;
    }
  }
  // Saturating each factor first saturates the product exactly when the wide product would.
  g.totalTiles = SaturatingProduct(Narrow(rows), n);
  g.totalPixels = SaturatingProduct(Narrow(width), Narrow(height));
  g.mosaicWidth = Narrow(width);
  g.mosaicHeight = Narrow(height);
  g.tilesPerRow = n;
  g.tilesPerColumn = Narrow(rows);
  g.ok = true;
  return g;
}

std::string GridLimitMessage(uint64_t W, uint64_t H, uint64_t n, uint64_t w, uint64_t b) {
  return LimitMessage(ComputeMosaicGeometry(W, H, n, w, b));
}

ParameterCheckResult ValidateParameters(const ParameterCheckInput& input) {
  ParameterCheckResult r;
  r.params = input.current;
  if (input.jobRunning) {
    r.valid = input.currentlyValid;
    r.infoText = "Mosaic creation in progress...";
    return r;
  }
  r.valid = false;
  const ParameterFields& f = input.fields;
  auto fail = [&r](std::string message) {
    r.infoText = std::move(message);
    return r;
  };

  const uint32_t tilesPerRow = FieldValue(f.tilesPerRow);
  if (f.tilesPerRow.empty() || tilesPerRow == 0 || tilesPerRow > 10000)
    return fail("Parameter: Number of Tiles per Row is invalid. Valid values are: 1..10000");
  r.tilesPerRow = tilesPerRow;

  const uint32_t border = FieldValue(f.border);
  if (f.border.empty() || border > 100)
    return fail("Parameter: border around every tile is invalid. Valid values are: 0..100.");
  r.params.tileBorder = border;

  const std::string tileWidthText = WithoutTrailingBlanks(f.tileWidth);
  uint32_t tileWidth = 0;
  if (!tileWidthText.empty()) {
    tileWidth = FieldValue(tileWidthText);
    r.mosaicWidthField = std::to_string(uint64_t{tileWidth} * tilesPerRow);
  } else {
    const uint64_t mosaicWidth = FieldValue(f.mosaicWidth);
    const uint64_t least = uint64_t{12} * tilesPerRow;
    if (mosaicWidth < least)
      return fail(
          Format("Parameter: Mosaic Width is invalid. Valid values are greater than %llux%llu=%llu",
                 12ULL, Ull(tilesPerRow), Ull(least)));
    tileWidth = static_cast<uint32_t>((mosaicWidth + tilesPerRow - 1) / tilesPerRow);
  }
  r.tileWidth = tileWidth;

  if (tileWidth != 0) {
    // A width of 1 gives tiles 0 pixels high, by which the rows would be counted.
    const bool tooNarrowForRows = uint64_t{8} * tileWidth / 12 == 0;
    if ((tilesPerRow >= 3 && (tileWidth < 12 || tileWidth > 5000)) || tooNarrowForRows)
      return fail(
          "Parameter: Tile Width is invalid. If specified then valid values are: ~10..5000.");
    const MosaicGeometry g = ComputeMosaicGeometry(input.sourceWidth, input.sourceHeight,
                                                   tilesPerRow, tileWidth, border);
    r.summaryLine = Format(
        "Mosaic Size: %llux%llu Pixels, Tile Width: %llu Pixels, Total size: %.1f Milion "
        "Pixels, Total Photos: %llu Tiles",
        Ull(g.mosaicWidth), Ull(g.mosaicHeight), Ull(tileWidth),
        static_cast<double>(g.totalPixels) * 0.000001, Ull(g.totalTiles));
    std::string limit = LimitMessage(g);
    if (!limit.empty())
      return fail(std::move(limit));
  } else {
    r.summaryLine =
        "The Mosaic will be based on a Mask File that you have to submit. Every color area will "
        "be a Tile.";
  }

  const uint32_t sequenceDistance = FieldValue(f.sequenceDistance);
  if (f.sequenceDistance.empty() || sequenceDistance > 1000)
    return fail("Parameter: minimum sequence distance is invalid. Valid values are: 0..1000.");
  r.params.minSequenceDistance = sequenceDistance;

  uint32_t maxDuplicates = FieldValue(f.maxDuplicates);
  if (maxDuplicates > 100)
    return fail("Parameter: Maximum duplicated count is invalid. Valid values are: 0..100.");

  const uint32_t duplicateDistance = FieldValue(f.duplicateDistance);
  if (f.duplicateDistance.empty() || duplicateDistance > 5000)
    return fail("Parameter: minimum distance is invalid. Valid values are: 0..5000.");
  r.params.minDuplicateDistance = duplicateDistance;

  if (sequenceDistance > 0) {
    maxDuplicates = 0;
    r.maxDuplicatesField = "0";
  }
  if (duplicateDistance == 0) {
    maxDuplicates = 1;
    r.maxDuplicatesField = "1";
  }
  r.params.maxDuplicateCount = maxDuplicates;
  r.maxDuplicates = maxDuplicates;

  const uint32_t modification = FieldValue(f.modification);
  if (f.modification.empty() || modification > 100)
    return fail("Parameter: tile modification is invalid. Valid values are: 0..100.");
  r.params.SetModifyLimit(modification * 255 / 100);

  if (f.algorithmIndex < 0 || !r.params.SetAlgorithm(static_cast<uint32_t>(f.algorithmIndex)))
    return fail("Invalid Algorithm.");

  const uint32_t quality = FieldValue(f.jpegQuality);
  if (quality < 1 || quality > 100)
    return fail("Parameter: JPG Quality is invalid. Valid values are: 1..100.");

  r.valid = true;
  r.infoText = "All Parameters are correct. :)";
  return r;
}

}  // namespace tessarix
