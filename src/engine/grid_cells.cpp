#include "engine/grid_cells.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "engine/source_analysis.h"
#include "platform/memory_limit.h"

namespace tessarix {

Status BuildGridCells(MosaicJob& job, Mosaic& mosaic, uint32_t tileW, uint32_t tileH,
                      uint32_t columns, uint32_t rows, uint32_t D) {
  std::vector<MosaicCell>& cells = mosaic.cells;
  cells.clear();
  if (tileW == 0 || tileH == 0 || columns == 0 || rows == 0)
    return Unnamed(FailureKind::kRefused);

  // In 64 bits: a wrapped total would give a grid that does not match its cells.
  const uint64_t border = mosaic.params.tileBorder;
  const uint64_t totalW = (uint64_t{columns} - 1) * border + uint64_t{columns} * tileW;
  const uint64_t totalH = (uint64_t{rows} - 1) * border + uint64_t{rows} * tileH;
  const uint64_t count = uint64_t{columns} * rows;
  if (totalW > std::numeric_limits<uint32_t>::max() ||
      totalH > std::numeric_limits<uint32_t>::max() ||
      !CanAllocate(SaturatingProduct(count, sizeof(MosaicCell))))
    return Unnamed(FailureKind::kOutOfMemory);

  job.SetStatus("Building Mosaic Tiles...");
  job.BeginStage(4, static_cast<double>(totalH) * static_cast<double>(totalW));
  cells.reserve(count);
  // Column by column, each column top to bottom: cell (c, r) lands at index c * rows + r, which
  // is all the index the neighbour lists below need.
  for (uint32_t c = 0; c < columns; ++c) {
    for (uint32_t r = 0; r < rows; ++r) {
      job.AddStageProgress(static_cast<double>(tileH + border));
      MosaicCell& cell = cells.emplace_back();
      cell.left = static_cast<uint32_t>(c * (tileW + border));
      cell.top = static_cast<uint32_t>(r * (tileH + border));
      cell.width = tileW;
      cell.height = tileH;
      cell.area = tileW * tileH;
      if (job.StopRequested()) {
        cells.clear();
        return Unnamed(FailureKind::kStopped);
      }
    }
  }

  job.EndStage();
  job.BeginStage(0, static_cast<double>(count));
  job.SetStatus("Calculating Tile Distance...");
  if (D == 0) {
    job.EndStage();
    return {};
  }

  const int64_t d = D;
  const int64_t lastColumn = int64_t{columns} - 1;
  const int64_t lastRow = int64_t{rows} - 1;
  for (int64_t c1 = 0; c1 <= lastColumn; ++c1) {
    for (int64_t r1 = 0; r1 <= lastRow; ++r1) {
      job.AddStageProgress(1);
      if (job.StopRequested()) {
        cells.clear();
        return Unnamed(FailureKind::kStopped);
      }
      std::vector<uint32_t>& neighbours = cells[c1 * rows + r1].neighbours;
      for (int64_t c2 = std::max<int64_t>(0, c1 - d); c2 <= std::min(lastColumn, c1 + d); ++c2) {
        for (int64_t r2 = std::max<int64_t>(0, r1 - d); r2 <= std::min(lastRow, r1 + d); ++r2) {
          if (c2 == c1 && r2 == r1)
            continue;
          const int64_t dc = c2 - c1;
          const int64_t dr = r2 - r1;
          if (dc * dc + dr * dr <= d * d)
            neighbours.push_back(static_cast<uint32_t>(c2 * rows + r2));
        }
      }
    }
  }
  job.EndStage();
  return {};
}

}  // namespace tessarix
