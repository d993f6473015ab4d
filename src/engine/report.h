#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "color/engine_parameters.h"
#include "engine/mosaic_cell.h"
#include "platform/atomic_file.h"

namespace tessarix {

// The tab-separated report of every cell (CR LF line ends), written into `file`, which is
// opened here and left finished but not renamed, for a caller that puts it in place together
// with the mosaic. The file's failure (with the operating system's reason) when it cannot be
// written.
Status WriteTextReport(const std::vector<MosaicCell>& cells, const EngineParameters& params,
                       AtomicFile& file);

// The report written and put in place at `path`; when the file cannot be written its failure,
// and an existing report is left as it was.
Status WriteTextReport(const std::vector<MosaicCell>& cells, const EngineParameters& params,
                       const std::string& path);

}  // namespace tessarix
