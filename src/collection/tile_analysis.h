#pragma once

#include <cstdint>
#include <optional>

#include "collection/collection_entry.h"
#include "imaging/image.h"
#include "platform/failure.h"

namespace tessarix {

// Decodes the entry's JPEG and returns it as a tw x th picture (tw, th non-zero): turned a
// quarter counter-clockwise when its orientation differs from the target's (square photos are
// turned for portrait targets), centre-cropped to the target's aspect ratio and resampled in one
// step. Records the decoded pixel size and portrait flag in the entry every time. None when the
// file cannot be decoded or an operation fails. `decodeMemory`, when given, holds the decoded
// photo: a caller that loads many tiles in turn keeps its memory from one photo to the next.
std::optional<Image> LoadTile(CollectionEntry& entry, uint32_t tw, uint32_t th,
                              Image* decodeMemory = nullptr);

// Brings one entry up to date: kCannotRead with the operating system's error (and valid = 0) when
// the file has no status; a success at once when its time and size match an earlier analysis,
// unless the record holds the sideways size of a photo stored turned by a quarter (read from the
// file's header, no pixel decoded), as analyses made before photos were read upright left it;
// otherwise stores the new time and size and recomputes the 12 x 8 colour record from the file.
// The JPEG file's failure when it cannot be decoded, kOutOfMemory when its thumbnail cannot be
// made. `decodeMemory` as for LoadTile.
Status AnalyseEntry(CollectionEntry& entry, Image* decodeMemory = nullptr);

}  // namespace tessarix
