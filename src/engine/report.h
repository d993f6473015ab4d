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
// with the mosaic. False when it cannot be written; `file.Error()` says why.
bool WriteTextReport(const std::vector<MosaicCell>& cells, const EngineParameters& params,
                     AtomicFile& file);

// The report written and put in place at `path`. 1 when written, 0 when the file cannot be
// written (an existing report is then left as it was).
int WriteTextReport(const std::vector<MosaicCell>& cells, const EngineParameters& params,
                    const std::string& path);

}  // namespace tessarix
