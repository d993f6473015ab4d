#include "engine/parameter_check.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "platform/text_format.h"

namespace tessarix {
namespace {

using Field = std::string ParameterFields::*;
constexpr Field kWidth = &ParameterFields::mosaicWidth, kPerRow = &ParameterFields::tilesPerRow,
                kTile = &ParameterFields::tileWidth, kBorder = &ParameterFields::border,
                kDupDistance = &ParameterFields::duplicateDistance,
                kDups = &ParameterFields::maxDuplicates, kChange = &ParameterFields::modification,
                kSequence = &ParameterFields::sequenceDistance,
                kQuality = &ParameterFields::jpegQuality;

// What the check came to, one "key value" item a line.
std::set<std::string> Items(const ParameterCheckResult& r) {
  const auto text = [](const std::optional<std::string>& s) { return s ? *s : "none"; };
  const EngineParameters& p = r.params;
  std::set<std::string> items;
  std::istringstream lines(
      Format("valid %d\ninfo %s\nsummary %s\nper row %u\ntile %u\nwidth field %s\ndups %u\n"
             "dups field %s\ncount %u\nlimit %u\nborder %u\nsequence %u\nalgorithm %u",
             r.valid, r.infoText.c_str(), text(r.summaryLine).c_str(), r.tilesPerRow, r.tileWidth,
             text(r.mosaicWidthField).c_str(), r.maxDuplicates, text(r.maxDuplicatesField).c_str(),
             p.maxDuplicateCount, p.modifyLimit, p.tileBorder, p.minSequenceDistance, p.algorithm));
  for (std::string line; std::getline(lines, line);) items.insert(line);
  return items;
}

const char* const kCorrect = "info All Parameters are correct. :)";
const char* const kTileWidthMessage =
    "info Parameter: Tile Width is invalid. If specified then valid values are: ~10..5000.";
const std::string kRowMessage =
    "info Parameter: Number of Tiles per Row is invalid. Valid values are: 1..10000";
const std::string kBorderMessage =
    "info Parameter: border around every tile is invalid. Valid values are: 0..100.";
const std::string kQualityMessage =
    "info Parameter: JPG Quality is invalid. Valid values are: 1..100.";
const std::string kLimitAdvice = " Please change the Mosaic/Tile Width or the Number of Tiles.";

// Each row: a source size, the fields typed (others at their defaults), and the items the
// check must come to.
// clang-format off
const struct Row {
  uint32_t sourceW, sourceH;
  std::vector<std::pair<Field, std::string>> fields;
  std::vector<std::string> items;
  std::optional<int> algorithmIndex = std::nullopt;  // none: as the fields start
} kRows[] = {
    // The width is derived, so nothing is written back into the fields; 10 % is 10 * 255 / 100.
    {0, 0, {},
     {"valid 1", kCorrect, "per row 20", "tile 150", "width field none", "dups field none",
      "limit 25", "algorithm 2",
      "summary Mosaic Size: 0x0 Pixels, Tile Width: 150 Pixels, Total size: 9.0 Milion Pixels, "
      "Total Photos: 400 Tiles"}},
    {3000, 2000, {{kTile, "150"}},
     {"valid 1", "width field 3000",
      "summary Mosaic Size: 3000x2000 Pixels, Tile Width: 150 Pixels, Total size: 6.0 Milion "
      "Pixels, Total Photos: 400 Tiles"}},
    // Grid 3038 x 2038; the source's aspect gives 3038 * 2000 / 3000 = 2025 rows of pixels.
    {3000, 2000, {{kTile, "150"}, {kBorder, "2"}},
     {"valid 1", "border 2",
      "summary Mosaic Size: 3038x2025 Pixels, Tile Width: 150 Pixels, Total size: 6.2 Milion "
      "Pixels, Total Photos: 400 Tiles"}},
    {0, 0, {{kWidth, "239"}},
     {"valid 0", "summary none",
      "info Parameter: Mosaic Width is invalid. Valid values are greater than 12x20=240"}},
    {0, 0, {{kWidth, "240"}}, {"valid 1", "tile 12"}},
    {0, 0, {{kWidth, "3001"}}, {"tile 151"}},  // rounds up
    // A typed tile width wins and is written back as tile width x tiles per row; blanks count as
    // an empty field.
    {0, 0, {{kWidth, "3001"}, {kTile, "100  "}}, {"tile 100", "width field 2000"}},
    {0, 0, {{kTile, "0"}},
     {"valid 1", "width field 0",
      "summary The Mosaic will be based on a Mask File that you have to submit. Every color area "
      "will be a Tile."}},
    // The width range only holds from 3 tiles a row; a width of 1 (tiles 0 high) never passes.
    {0, 0, {{kPerRow, "3"}, {kTile, "11"}}, {"valid 0", kTileWidthMessage}},
    {0, 0, {{kPerRow, "3"}, {kTile, "12"}}, {"valid 1"}},
    {0, 0, {{kPerRow, "3"}, {kTile, "5000"}},
     {"valid 0",
      "info The resulting size of the mosaic is 225000000 (maximum is 55000000 pixels). Please "
      "change the Number of Tiles or the Tile Width."}},
    {0, 0, {{kPerRow, "3"}, {kTile, "5001"}}, {"valid 0", kTileWidthMessage}},
    {0, 0, {{kPerRow, "2"}, {kTile, "1"}}, {"valid 0", kTileWidthMessage}},
    {0, 0, {{kPerRow, "2"}, {kTile, "2"}}, {"valid 1"}},
    // Rows (8 * 5000 * 12 / 60000) / 8 = 1.
    {60000, 8, {{kPerRow, "5000"}, {kTile, "12"}},
     {"valid 0", "info The number of Tiles per Row is 5000 (maximum is 4096)." + kLimitAdvice}},
    // Rows (5000 * 12 / 1) / 8 = 7500.
    {1, 5000, {{kPerRow, "1"}, {kTile, "12"}},
     {"valid 0", "info The number of Tiles per Column is 7500 (maximum is 4096)." + kLimitAdvice}},
    // Rows 11, grid 36000 x 88, the aspect gives 88 * 40000 / 100 = 35200 x 88.
    {40000, 100, {{kPerRow, "3000"}, {kTile, "12"}},
     {"valid 0", "info The resulting Width is 35200 (maximum is 32767 pixels)." + kLimitAdvice}},
    // Rows (600 * 60 / 1) / 20 = 1800, grid 60 x 36000.
    {1, 600, {{kPerRow, "2"}, {kTile, "30"}},
     {"valid 0", "info The resulting Height is 36000 (maximum is 32767 pixels)." + kLimitAdvice}},
    // 300 x 450 tiles of 12 x 8; the summary is written before the limits are tested.
    {1000, 1000, {{kPerRow, "300"}, {kTile, "12"}},
     {"valid 0",
      "info The resulting number of Tiles is 135000 (maximum is 65535). Please change the Number "
      "of Tiles or the Tile Width.",
      "summary Mosaic Size: 3600x3600 Pixels, Tile Width: 12 Pixels, Total size: 13.0 Milion "
      "Pixels, Total Photos: 135000 Tiles"}},
    {0, 0, {{kDups, "7"}}, {"dups 7", "dups field none"}},
    // A sequence distance allows every image any number of times, unless the duplicate distance
    // is 0, which wins; an empty count is 0.
    {0, 0, {{kDups, "7"}, {kSequence, "5"}}, {"valid 1", "count 0", "dups field 0", "sequence 5"}},
    {0, 0, {{kDups, "7"}, {kSequence, "5"}, {kDupDistance, "0"}},
     {"dups 1", "count 1", "dups field 1"}},
    {0, 0, {{kPerRow, " +10000"}, {kTile, "12"}}, {"per row 10000"}},
    {0, 0, {{kQuality, "1"}, {kBorder, "100"}, {kChange, "100"}}, {"valid 1", "limit 255"}},
    {0, 0, {{kChange, "0"}}, {"limit 0"}},
    {0, 0, {{kPerRow, "0"}}, {"valid 0", kRowMessage}},
    {0, 0, {{kPerRow, "10001"}}, {"valid 0", kRowMessage}},
    {0, 0, {{kBorder, ""}}, {"valid 0", kBorderMessage}},
    {0, 0, {{kBorder, "101"}}, {"valid 0", kBorderMessage}},
    {0, 0, {{kSequence, "1001"}},
     {"valid 0",
      "info Parameter: minimum sequence distance is invalid. Valid values are: 0..1000."}},
    {0, 0, {{kDups, "101"}},
     {"valid 0", "info Parameter: Maximum duplicated count is invalid. Valid values are: 0..100."}},
    {0, 0, {{kDupDistance, "5001"}},
     {"valid 0", "info Parameter: minimum distance is invalid. Valid values are: 0..5000."}},
    {0, 0, {{kChange, "101"}},
     {"valid 0", "info Parameter: tile modification is invalid. Valid values are: 0..100."}},
    {0, 0, {{kQuality, "0"}}, {"valid 0", kQualityMessage}},
    {0, 0, {{kQuality, "101"}}, {"valid 0", kQualityMessage}},
    {0, 0, {}, {"valid 1", "algorithm 0"}, 0},
    {0, 0, {}, {"valid 1", "algorithm 5"}, 5},
    {0, 0, {}, {"valid 0", "info Invalid Algorithm."}, -1},
    {0, 0, {}, {"valid 0", "info Invalid Algorithm."}, 6},
};
// clang-format on

TEST(ParameterCheck, EveryRowComesToItsItems) {
  for (const Row& row : kRows) {
    ParameterCheckInput in;
    in.sourceWidth = row.sourceW, in.sourceHeight = row.sourceH;
    in.fields.algorithmIndex = row.algorithmIndex.value_or(in.fields.algorithmIndex);
    std::string trace = Format("%ux%u %d", row.sourceW, row.sourceH, in.fields.algorithmIndex);
    for (const auto& [field, text] : row.fields)
      in.fields.*field = text, trace += " '" + text + "'";
    SCOPED_TRACE(trace);
    const std::set<std::string> items = Items(ValidateParameters(in));
    for (const std::string& item : row.items)
      EXPECT_EQ(items.count(item), 1u) << item << "\nis not among\n"
                                       << ::testing::PrintToString(items);
  }
}

TEST(ParameterCheck, GeometryFitsWidthWhenHeightOverflowsGrid) {
  // 10 tiles of 120 x 80 over a 1000 x 1050 source: rows (1050*10*120/1000)/80 = 15, grid
  // 1200 x 1200; the aspect wants 1260 rows, so the width shrinks to 1200*1000/1050 = 1142.
  const MosaicGeometry g = ComputeMosaicGeometry(1000, 1050, 10, 120, 0);
  EXPECT_TRUE(g.ok);
  EXPECT_EQ(std::vector<uint64_t>({g.tilesPerColumn, g.totalTiles, g.mosaicWidth, g.mosaicHeight}),
            std::vector<uint64_t>({15, 150, 1142, 1200}));
  EXPECT_FALSE(ComputeMosaicGeometry(3000, 2000, 0, 150, 0).ok);
  // Tile width 1 has tile height 0: refused instead of dividing by it.
  EXPECT_FALSE(ComputeMosaicGeometry(3000, 2000, 2, 1, 0).ok);
}

TEST(ParameterCheck, FailureKeepsWhatWasReadAndARunningJobOnlyReplacesTheText) {
  ParameterCheckInput in;
  in.current.tileBorder = 9;
  in.current.minSequenceDistance = 9;
  in.fields.border = "7";
  in.fields.sequenceDistance = "2000";
  ParameterCheckResult r = ValidateParameters(in);
  EXPECT_EQ(std::tuple(r.valid, r.params.tileBorder, r.params.minSequenceDistance),
            std::tuple(false, 7u, 9u));

  in.jobRunning = in.currentlyValid = true;
  in.fields.border = "500";
  r = ValidateParameters(in);
  EXPECT_EQ(std::tuple(r.infoText, r.valid, r.summaryLine.has_value()),
            std::tuple("Mosaic creation in progress...", true, false));
  EXPECT_EQ(r.params, in.current);
  in.currentlyValid = false;
  EXPECT_FALSE(ValidateParameters(in).valid);
}

}  // namespace
}  // namespace tessarix
