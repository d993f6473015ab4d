#include "engine/report.h"

#include <cstdio>

#include "engine/source_analysis.h"
#include "platform/atomic_file.h"
#include "platform/text_format.h"

namespace tessarix {

Status WriteTextReport(const std::vector<MosaicCell>& cells, const EngineParameters& params,
                       AtomicFile& file) {
  if (Status opened = file.Open(); !opened)
    return opened;
  const CellExtent extent = MeasureCells(cells);

  long long assigned = 0;
  // Summed in 64 bits: a few thousand large differences overflow 32 bits and would report a
  // meaningless average.
  unsigned long long sum = 0;
  for (const MosaicCell& cell : cells) {
    if (cell.assigned == nullptr)
      continue;
    ++assigned;
    sum += cell.assignedDistance;
  }
  const unsigned long long average =
      sum / static_cast<unsigned long long>(assigned > 0 ? assigned : 1);

  std::FILE* out = file.Stream();
  std::fputs(
      Format("Number of tiles in the Mosaic:\t%lld\t(Total %zu pieces)\r\nSize (pixel): "
             "\t%ux%u\r\nAverage Difference of Mosaic compared to the original Image (higher "
             "values means less quality): \t%llu\r\nHow much can I modify every tile: "
             "\t%u%%\r\nMinimum distance between duplicate tiles: \t%u\r\nMinimum distance "
             "between sequences: \t%u\r\nAlgorithm: \t%u\r\n\r\nPosition Left x "
             "Top\tImage\tSequence\tDifference\tUsed Count\r\n",
             assigned, cells.size(), extent.width, extent.height, average,
             params.modifyLimit * 100 / 255, params.minDuplicateDistance,
             params.minSequenceDistance, params.algorithm)
          .c_str(),
      out);
  for (const MosaicCell& cell : cells) {
    const CollectionEntry* entry = cell.assigned;
    std::fputs(Format("%ux%u%c\t%s\t%u\t%u\t%u\r\n", cell.left, cell.top, cell.hasInfo ? ' ' : '!',
                      entry ? entry->path.c_str() : "-", entry ? entry->sequenceNumber : 0u,
                      entry ? cell.assignedDistance : 0u, entry ? entry->useCount : 0u)
                   .c_str(),
               out);
  }
  return file.Finish();
}

Status WriteTextReport(const std::vector<MosaicCell>& cells, const EngineParameters& params,
                       const std::string& path) {
  AtomicFile file(path);
  if (Status written = WriteTextReport(cells, params, file); !written)
    return written;
  return file.Commit();
}

}  // namespace tessarix
