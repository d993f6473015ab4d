#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tessarix {

// The settings of a mosaic exactly as typed into their fields; a new one starts with the
// defaults of kMosaicSettings.
struct ParameterFields {
  ParameterFields();

  std::string mosaicWidth;
  std::string tilesPerRow;
  std::string tileWidth;  // empty: derive it from the mosaic width; "0": mask mode
  std::string border;
  std::string duplicateDistance;
  std::string maxDuplicates;
  std::string modification;
  std::string sequenceDistance;
  std::string jpegQuality;
  int algorithmIndex;  // -1 = nothing selected
};

// One setting as a person gives it: typed into the window's field or given as a command-line
// option. The window and the command line both show them in the order of kMosaicSettings.
struct MosaicSetting {
  std::string ParameterFields::*field;  // none for the algorithm, chosen from kAlgorithms
  std::string_view name;                // the window field's object name
  std::string_view option;              // the command-line option
  std::string_view label;               // the window's text beside the field
  std::string_view defaultText;         // the field's first text; empty shows no default
  std::string_view help;                // the command-line help; the algorithm's lists kAlgorithms
};

inline constexpr std::array<MosaicSetting, 10> kMosaicSettings = {{
    {&ParameterFields::mosaicWidth, "mosaicWidth", "--mosaic-width",
     "Width of the Mosaic (alternative to Width of every tile). Suggested values between 2000 "
     "and 5000 pixels:",
     "3000", "width of the mosaic"},
    {&ParameterFields::tilesPerRow, "tilesPerRow", "--tiles-per-row",
     "Number of tiles per row. Higher values raise total number of tiles. Suggested values "
     "between 10 and 60 tiles:",
     "20", "number of tiles per row"},
    {&ParameterFields::tileWidth, "tileWidth", "--tile-width",
     "Width of tile. Higher values raise quality+memory. Suggested value between 50 and 300 "
     "pixels (0=Maskfile):",
     "", "width of every tile (empty: from the mosaic width; 0: mask mode)"},
    {&ParameterFields::border, "border", "--border",
     "If you want a black line around every tile then set the size of the line. Suggested "
     "value between 0 to 5 pixels:",
     "0", "black line around every tile, pixels"},
    {&ParameterFields::duplicateDistance, "duplicateDistance", "--duplicate-distance",
     "Minimum distance between duplicated tiles (0=no duplicates). Suggested value between 1 "
     "and 15 tiles:",
     "2", "minimum distance between duplicated tiles"},
    {&ParameterFields::maxDuplicates, "maxDuplicates", "--max-duplicates",
     "How many times can I duplicate a tile? (0=unlimited duplicates). Suggested values "
     "between 1 and 10 count:",
     "0", "0 = unlimited"},
    {&ParameterFields::modification, "modification", "--modify",
     "How much can I modify a little every tile for a better final Result? Suggested value "
     "between 0 and 30 percent:",
     "10", "tile modification, percent"},
    {nullptr, "algorithm", "--algorithm",
     "What algorithm should I use? Can I Flip the tiles Vertically and/or Horizontally?", "", ""},
    {&ParameterFields::sequenceDistance, "sequenceDistance", "--sequence-distance",
     "Is the Image Collection extracted from a Movie? If yes then set the minimum distance "
     "between every frame:",
     "0", "minimum distance between movie frames"},
    {&ParameterFields::jpegQuality, "jpegQuality", "--quality",
     "Output Options: JPG Quality (1..100):", "90", "JPEG quality 1..100"},
}};

// The entry of `field` in kMosaicSettings; the algorithm's entry for none.
const MosaicSetting& MosaicSettingOf(std::string ParameterFields::*field);

// The distance algorithms by their index (EngineParameters::SetAlgorithm).
struct AlgorithmName {
  std::string_view label;  // the window's list
  std::string_view name;   // the command line
};

inline constexpr std::array<AlgorithmName, 5> kAlgorithms = {{
    {"Exponential", "exponential"},
    {"Standard", "standard"},
    {"Flip Horiz.", "flip-horiz"},
    {"Flip Horiz+Vert", "flip-horiz-vert"},
    {"Max", "max"},
}};

inline constexpr int kDefaultAlgorithm = 2;

// The index of the algorithm a command line names, by its name or its index; none otherwise.
std::optional<int> AlgorithmFromName(const std::string& text);

// "exponential|standard|...|max or 0..4": what AlgorithmFromName takes.
std::string AlgorithmNamesHelp();

// The width of the web page when none is typed.
inline constexpr std::string_view kDefaultWebPageWidth = "750";

}  // namespace tessarix
