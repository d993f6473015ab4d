#pragma once

#include <QString>

namespace tessarix {

// The name a link to the local file `path` shows: the title of an HTML page, else the file's
// name. The address itself can be far longer than any window.
QString LinkDisplayName(const QString& path);

}  // namespace tessarix
