#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine_parameters.h"
#include "engine/mosaic_cell.h"

namespace tessarix {

// The tab-separated report of every cell (CR LF line ends). 1 when written, 0 when the file
// cannot be written (an existing report is then left as it was).
int WriteTextReport(const std::vector<MosaicCell>& cells, const EngineParameters& params,
                    const std::string& path);

// The page output base (trailing blanks removed) + ".html" with the mosaic scaled to `webWidth`
// (clamped to 10..100000) and an image map linking every assigned tile. 1 when written.
int WriteWebPage(const std::vector<MosaicCell>& cells, const std::string& mosaicPath,
                 const std::string& outputBase, long webWidth);

}  // namespace tessarix
