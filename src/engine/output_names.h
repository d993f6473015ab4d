#pragma once

#include <string>

namespace tessarix {

// The names of the files a mosaic job makes of one source. Every name lies in the source's own
// folder, whatever the source is called.

// The source path without the last four characters of its file name (the ".jpg" of the usual
// name; "c.jpeg" gives "c."). A file name of four characters or fewer is kept whole, so the
// outputs never lose their name or move up into the parent folder.
std::string OutputBase(const std::string& sourcePath);

// What MosaicFileName appends to the base; a photo whose name holds it is taken for a mosaic.
inline constexpr const char* kMosaicSuffix = " Mosaic.JPG";

// base + kMosaicSuffix
std::string MosaicFileName(const std::string& base);

// base + " Report.TXT"
std::string ReportFileName(const std::string& base);

// The base with its trailing blanks removed: the web page's title and, with ".html", its name.
// A file name made only of blanks keeps them, so the page is never the hidden ".html".
std::string WebPageBase(const std::string& base);

// WebPageBase(base) + ".html"
std::string WebPageFileName(const std::string& base);

}  // namespace tessarix
