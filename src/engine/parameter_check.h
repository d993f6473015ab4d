#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "color/engine_parameters.h"
#include "engine/mosaic_settings.h"

namespace tessarix {

struct ParameterCheckInput {
  ParameterFields fields;
  bool jobRunning = false;
  uint32_t sourceWidth = 0;  // measured first source; 0 x 0 when none
  uint32_t sourceHeight = 0;
  EngineParameters current;  // the parameters before the check
  bool currentlyValid = false;
};

// Everything the check changes. Texts that are not changed are none.
struct ParameterCheckResult {
  EngineParameters params;
  bool valid = false;
  uint32_t tilesPerRow = 0;
  uint32_t tileWidth = 0;
  uint32_t maxDuplicates = 0;
  std::string infoText;
  std::optional<std::string> summaryLine;         // none: keep the previous summary
  std::optional<std::string> mosaicWidthField;    // new text of the mosaic width field
  std::optional<std::string> maxDuplicatesField;  // new text of the maximum duplicates field
};

// The parameter check shared by the window and the command line: the first failing step's
// message becomes the info text and the result is invalid. Parameters and numbers are written as
// far as the check got, so a late failure still carries the border, distances and so on already
// read (as the window's variables would). While a job runs only infoText and valid (kept at
// currentlyValid) mean anything; the caller must not apply the rest.
//
// The function itself cannot re-enter, but the window that calls it must guard against doing so:
// writing mosaicWidthField or maxDuplicatesField back into their fields raises change
// notifications that would otherwise start a nested check. Ignore checks requested while one is
// being applied, and repaint once the result has been applied.
ParameterCheckResult ValidateParameters(const ParameterCheckInput& input);

struct MosaicGeometry {
  bool ok = false;
  uint64_t totalTiles = 0;
  uint64_t totalPixels = 0;
  uint64_t mosaicWidth = 0;
  uint64_t mosaicHeight = 0;
  uint64_t tilesPerRow = 0;
  uint64_t tilesPerColumn = 0;
};

// Grid geometry for source W x H, n tiles per row of width w and border b. Products are taken
// wide enough not to wrap; an output beyond 64 bits (only reachable with absurd inputs) reads as
// UINT64_MAX. With no source (W or H 0) only the totals are set, estimated for a square source,
// and ok is false; a tile width of 1 (tile height 0) gives no rows and ok false.
MosaicGeometry ComputeMosaicGeometry(uint64_t W, uint64_t H, uint64_t n, uint64_t w, uint64_t b);

// The check's message for the first size limit that the grid of a W x H source exceeds (the
// same limits, in the same order, as ValidateParameters); empty when it fits. Every source of a
// batch has its own geometry, while the check itself sees only the first.
std::string GridLimitMessage(uint64_t W, uint64_t H, uint64_t n, uint64_t w, uint64_t b);

}  // namespace tessarix
