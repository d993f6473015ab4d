#include "engine/parameter_check.h"

#include <gtest/gtest.h>

namespace tessarix {
namespace {

const char* const kTileWidthMessage =
    "Parameter: Tile Width is invalid. If specified then valid values are: ~10..5000.";

ParameterCheckInput WithSource(uint32_t w, uint32_t h) {
  ParameterCheckInput in;
  in.sourceWidth = w;
  in.sourceHeight = h;
  return in;
}

TEST(ParameterCheck, DefaultsDeriveTileWidthAndEstimateForSquareSource) {
  const ParameterCheckResult r = ValidateParameters(ParameterCheckInput{});
  EXPECT_TRUE(r.valid);
  EXPECT_EQ(r.infoText, "All Parameters are correct. :)");
  EXPECT_EQ(r.tilesPerRow, 20u);
  EXPECT_EQ(r.tileWidth, 150u);
  ASSERT_TRUE(r.summaryLine);
  EXPECT_EQ(*r.summaryLine,
            "Mosaic Size: 0x0 Pixels, Tile Width: 150 Pixels, Total size: 9.0 Milion Pixels, "
            "Total Photos: 400 Tiles");
  // The width was derived, so nothing is written back into the fields.
  EXPECT_FALSE(r.mosaicWidthField);
  EXPECT_FALSE(r.maxDuplicatesField);
  EXPECT_EQ(r.params.modifyLimit, 25u);  // 10 * 255 / 100
  EXPECT_EQ(r.params.algorithm, 2u);
}

TEST(ParameterCheck, MeasuredSourceWithAndWithoutBorder) {
  ParameterCheckInput in = WithSource(3000, 2000);
  in.fields.tileWidth = "150";
  ParameterCheckResult r = ValidateParameters(in);
  EXPECT_TRUE(r.valid);
  EXPECT_EQ(r.mosaicWidthField, "3000");
  EXPECT_EQ(*r.summaryLine,
            "Mosaic Size: 3000x2000 Pixels, Tile Width: 150 Pixels, Total size: 6.0 Milion "
            "Pixels, Total Photos: 400 Tiles");

  // Grid 3038 x 2038; the source's aspect gives 3038 * 2000 / 3000 = 2025 rows of pixels.
  in.fields.border = "2";
  r = ValidateParameters(in);
  EXPECT_TRUE(r.valid);
  EXPECT_EQ(r.params.tileBorder, 2u);
  EXPECT_EQ(*r.summaryLine,
            "Mosaic Size: 3038x2025 Pixels, Tile Width: 150 Pixels, Total size: 6.2 Milion "
            "Pixels, Total Photos: 400 Tiles");
}

TEST(ParameterCheck, GeometryFitsWidthWhenHeightOverflowsGrid) {
  // 10 tiles of 120 x 80 over a 1000 x 1050 source: rows (1050*10*120/1000)/80 = 15, grid
  // 1200 x 1200; the aspect wants 1260 rows, so the width shrinks to 1200*1000/1050 = 1142.
  const MosaicGeometry g = ComputeMosaicGeometry(1000, 1050, 10, 120, 0);
  EXPECT_TRUE(g.ok);
  EXPECT_EQ(g.tilesPerColumn, 15u);
  EXPECT_EQ(g.totalTiles, 150u);
  EXPECT_EQ(g.mosaicWidth, 1142u);
  EXPECT_EQ(g.mosaicHeight, 1200u);

  EXPECT_FALSE(ComputeMosaicGeometry(3000, 2000, 0, 150, 0).ok);
  // Tile width 1 has tile height 0: refused instead of dividing by it.
  EXPECT_FALSE(ComputeMosaicGeometry(3000, 2000, 2, 1, 0).ok);
}

TEST(ParameterCheck, MosaicWidthField) {
  ParameterCheckInput in;
  in.fields.mosaicWidth = "239";
  ParameterCheckResult r = ValidateParameters(in);
  EXPECT_FALSE(r.valid);
  EXPECT_EQ(r.infoText,
            "Parameter: Mosaic Width is invalid. Valid values are greater than 12x20=240");
  EXPECT_FALSE(r.summaryLine);
  in.fields.mosaicWidth = "240";
  EXPECT_EQ(ValidateParameters(in).tileWidth, 12u);
  in.fields.mosaicWidth = "3001";  // rounds up
  EXPECT_EQ(ValidateParameters(in).tileWidth, 151u);

  // A typed tile width wins and is written back as tile width x tiles per row; blanks count as
  // an empty field.
  in.fields.tileWidth = "100  ";
  r = ValidateParameters(in);
  EXPECT_EQ(r.tileWidth, 100u);
  EXPECT_EQ(r.mosaicWidthField, "2000");
  in.fields.tileWidth = " \t ";
  r = ValidateParameters(in);
  EXPECT_EQ(r.tileWidth, 151u);
  EXPECT_FALSE(r.mosaicWidthField);

  in.fields.tileWidth = "0";
  r = ValidateParameters(in);
  EXPECT_TRUE(r.valid);
  EXPECT_EQ(r.mosaicWidthField, "0");
  EXPECT_EQ(*r.summaryLine,
            "The Mosaic will be based on a Mask File that you have to submit. Every color area "
            "will be a Tile.");
}

// The width range only holds from 3 tiles a row; a width of 1 (tiles 0 high) never passes.
TEST(ParameterCheck, TileWidthRangeAndSizeLimit) {
  struct Case {
    const char* tilesPerRow;
    const char* tileWidth;
    std::string message;  // empty: valid
  };
  const Case cases[] = {
      {"1", "6000", ""},  // 36 million pixels estimated
      {"3", "6000", kTileWidthMessage},
      {"3", "11", kTileWidthMessage},
      {"3", "12", ""},
      {"3", "5000",
       "The resulting size of the mosaic is 225000000 (maximum is 55000000 pixels). Please "
       "change the Number of Tiles or the Tile Width."},
      {"3", "5001", kTileWidthMessage},
      {"2", "1", kTileWidthMessage},
      {"2", "2", ""},
  };
  for (const Case& c : cases) {
    ParameterCheckInput in;
    in.fields.tilesPerRow = c.tilesPerRow;
    in.fields.tileWidth = c.tileWidth;
    const ParameterCheckResult r = ValidateParameters(in);
    EXPECT_EQ(r.valid, c.message.empty()) << c.tilesPerRow << " x " << c.tileWidth;
    if (!c.message.empty()) {
      EXPECT_EQ(r.infoText, c.message) << c.tilesPerRow << " x " << c.tileWidth;
    }
  }
}

TEST(ParameterCheck, EveryLimitWithItsNumbers) {
  struct Case {
    uint32_t sourceW, sourceH;
    const char* tilesPerRow;
    const char* tileWidth;
    const char* message;
  };
  const Case cases[] = {
      // rows (8*5000*12/60000)/8 = 1
      {60000, 8, "5000", "12",
       "The number of Tiles per Row is 5000 (maximum is 4096). Please change the Mosaic/Tile "
       "Width or the Number of Tiles."},
      // rows (5000*12/1)/8 = 7500
      {1, 5000, "1", "12",
       "The number of Tiles per Column is 7500 (maximum is 4096). Please change the Mosaic/Tile "
       "Width or the Number of Tiles."},
      // rows 11, grid 36000 x 88, the aspect gives 88*40000/100 = 35200 x 88
      {40000, 100, "3000", "12",
       "The resulting Width is 35200 (maximum is 32767 pixels). Please change the Mosaic/Tile "
       "Width or the Number of Tiles."},
      // rows (600*60/1)/20 = 1800, grid 60 x 36000
      {1, 600, "2", "30",
       "The resulting Height is 36000 (maximum is 32767 pixels). Please change the Mosaic/Tile "
       "Width or the Number of Tiles."},
      // 300 x 450 tiles of 12 x 8
      {1000, 1000, "300", "12",
       "The resulting number of Tiles is 135000 (maximum is 65535). Please change the Number "
       "of Tiles or the Tile Width."},
  };
  for (const Case& c : cases) {
    ParameterCheckInput in = WithSource(c.sourceW, c.sourceH);
    in.fields.tilesPerRow = c.tilesPerRow;
    in.fields.tileWidth = c.tileWidth;
    const ParameterCheckResult r = ValidateParameters(in);
    EXPECT_FALSE(r.valid) << c.message;
    EXPECT_EQ(r.infoText, c.message);
    ASSERT_TRUE(r.summaryLine);  // written before the limits are tested
    if (c.tilesPerRow == std::string("300")) {
      EXPECT_EQ(*r.summaryLine,
                "Mosaic Size: 3600x3600 Pixels, Tile Width: 12 Pixels, Total size: 13.0 Milion "
                "Pixels, Total Photos: 135000 Tiles");
    }
  }
}

TEST(ParameterCheck, DuplicateAdjustments) {
  ParameterCheckInput in;
  in.fields.maxDuplicates = "7";
  ParameterCheckResult r = ValidateParameters(in);
  EXPECT_EQ(r.maxDuplicates, 7u);
  EXPECT_FALSE(r.maxDuplicatesField);

  in.fields.sequenceDistance = "5";
  r = ValidateParameters(in);
  EXPECT_TRUE(r.valid);
  EXPECT_EQ(r.params.maxDuplicateCount, 0u);
  EXPECT_EQ(r.maxDuplicatesField, "0");
  EXPECT_EQ(r.params.minSequenceDistance, 5u);

  in.fields.duplicateDistance = "0";  // wins over the sequence distance
  r = ValidateParameters(in);
  EXPECT_EQ(r.maxDuplicates, 1u);
  EXPECT_EQ(r.params.maxDuplicateCount, 1u);
  EXPECT_EQ(r.maxDuplicatesField, "1");

  in.fields.maxDuplicates = "";  // counts as 0
  EXPECT_TRUE(ValidateParameters(in).valid);
}

TEST(ParameterCheck, BadFieldsAndTheirMessages) {
  struct Case {
    std::string ParameterFields::*field;
    const char* text;
    const char* message;
  };
  const char* const kRow =
      "Parameter: Number of Tiles per Row is invalid. Valid values are: 1..10000";
  const char* const kBorder =
      "Parameter: border around every tile is invalid. Valid values are: 0..100.";
  const char* const kDuplicates =
      "Parameter: Maximum duplicated count is invalid. Valid values are: 0..100.";
  const char* const kModification =
      "Parameter: tile modification is invalid. Valid values are: 0..100.";
  const char* const kQuality = "Parameter: JPG Quality is invalid. Valid values are: 1..100.";
  const Case cases[] = {
      {&ParameterFields::tilesPerRow, "0", kRow},
      {&ParameterFields::tilesPerRow, "10001", kRow},
      {&ParameterFields::tilesPerRow, "-1", kRow},  // negative counts as huge
      // Beyond 32 bits saturates rather than wrapping to 1.
      {&ParameterFields::tilesPerRow, "4294967297", kRow},
      {&ParameterFields::border, "", kBorder},
      {&ParameterFields::border, "101", kBorder},
      {&ParameterFields::sequenceDistance, "1001",
       "Parameter: minimum sequence distance is invalid. Valid values are: 0..1000."},
      {&ParameterFields::maxDuplicates, "101", kDuplicates},
      {&ParameterFields::duplicateDistance, "5001",
       "Parameter: minimum distance is invalid. Valid values are: 0..5000."},
      {&ParameterFields::modification, "101", kModification},
      {&ParameterFields::jpegQuality, "0", kQuality},
      {&ParameterFields::jpegQuality, "101", kQuality},
  };
  for (const Case& c : cases) {
    ParameterCheckInput in;
    in.fields.*c.field = c.text;
    const ParameterCheckResult r = ValidateParameters(in);
    EXPECT_FALSE(r.valid) << c.text;
    EXPECT_EQ(r.infoText, c.message) << c.text;
  }

  ParameterCheckInput highest;
  highest.fields.tilesPerRow = " +10000";
  highest.fields.tileWidth = "12";
  EXPECT_EQ(ValidateParameters(highest).tilesPerRow, 10000u);
  ParameterCheckInput edges;
  edges.fields.jpegQuality = "1";
  edges.fields.border = "100";
  edges.fields.modification = "100";
  const ParameterCheckResult r = ValidateParameters(edges);
  EXPECT_TRUE(r.valid);
  EXPECT_EQ(r.params.modifyLimit, 255u);
  edges.fields.modification = "0";
  EXPECT_EQ(ValidateParameters(edges).params.modifyLimit, 0u);
}

TEST(ParameterCheck, AlgorithmSelection) {
  ParameterCheckInput in;
  for (int index : {0, 5}) {
    in.fields.algorithmIndex = index;
    const ParameterCheckResult r = ValidateParameters(in);
    EXPECT_TRUE(r.valid);
    EXPECT_EQ(r.params.algorithm, static_cast<uint32_t>(index));
  }
  for (int index : {-1, 6}) {
    in.fields.algorithmIndex = index;
    EXPECT_EQ(ValidateParameters(in).infoText, "Invalid Algorithm.");
  }
}

TEST(ParameterCheck, FailureKeepsWhatWasAlreadyRead) {
  ParameterCheckInput in;
  in.current.tileBorder = 9;
  in.current.minSequenceDistance = 9;
  in.fields.border = "7";
  in.fields.sequenceDistance = "2000";
  const ParameterCheckResult r = ValidateParameters(in);
  EXPECT_FALSE(r.valid);
  EXPECT_EQ(r.params.tileBorder, 7u);
  EXPECT_EQ(r.params.minSequenceDistance, 9u);
}

TEST(ParameterCheck, RunningJobOnlyReplacesInfoText) {
  ParameterCheckInput in;
  in.jobRunning = true;
  in.currentlyValid = true;
  in.current.tileBorder = 4;
  in.fields.border = "500";
  ParameterCheckResult r = ValidateParameters(in);
  EXPECT_EQ(r.infoText, "Mosaic creation in progress...");
  EXPECT_TRUE(r.valid);
  EXPECT_EQ(r.params, in.current);
  EXPECT_FALSE(r.summaryLine);
  in.currentlyValid = false;
  EXPECT_FALSE(ValidateParameters(in).valid);
}

}  // namespace
}  // namespace tessarix
