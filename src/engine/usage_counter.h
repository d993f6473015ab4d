#pragma once

#include <string>

#include "platform/failure.h"

namespace tessarix {

// How many mosaics this user has saved, and since when. Kept in a small text file so that the
// About window can read what the mosaic worker wrote.
struct UsageRecord {
  long mosaicCount = 0;         // 0 when the file or the value is missing
  std::string dateFirstMosaic;  // "%ld-%ld-%ld" year, month, day; empty when missing
};

// $XDG_CONFIG_HOME/tessarix/usage.ini, or ~/.config/tessarix/usage.ini when XDG_CONFIG_HOME is
// unset, empty or relative; empty when neither that nor HOME is known.
std::string UsageFilePath();

// The stored values; missing file, values or texts beyond 255 characters read as missing.
UsageRecord ReadUsage();

// Adds one saved mosaic; the first one also stores today's local date. The failure (kRefused
// when there is no place for the file) when it could not be written; the old file then stays as
// it was.
Status IncrementMosaicCount();

}  // namespace tessarix
