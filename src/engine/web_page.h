#pragma once

#include <string>
#include <vector>

#include "engine/mosaic_cell.h"
#include "platform/atomic_file.h"

namespace tessarix {

// The page of the mosaic at `mosaicPath`, titled WebPageBase(outputBase), with the mosaic scaled
// to `webWidth` (clamped to 10..100000) and an image map linking every assigned tile; written
// into `file` as the report is.
Status WriteWebPage(const std::vector<MosaicCell>& cells, const std::string& mosaicPath,
                    const std::string& outputBase, long webWidth, AtomicFile& file);

// The page written and put in place at WebPageFileName(outputBase), or the file's failure.
Status WriteWebPage(const std::vector<MosaicCell>& cells, const std::string& mosaicPath,
                    const std::string& outputBase, long webWidth);

// `text` with & < > " ' written as character references and every non-ASCII character (UTF-8,
// or a stray byte taken as Latin-1) as a numeric reference, so that the page reads the same in
// any character set.
std::string HtmlEscape(const std::string& text);

// "file://" and the absolute form of `path` with every byte outside A-Z a-z 0-9 - . _ ~ /
// percent-encoded.
std::string FileUrl(const std::string& path);

}  // namespace tessarix
