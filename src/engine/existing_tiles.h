#pragma once

#include <memory>

#include "collection/image_collection.h"

namespace tessarix {

// The collection a batch matches against once tile files have been moved or deleted since the
// collection was made: a copy holding, in list order, only the entries whose file still exists
// as a regular file (one stat each), possibly none. Null when every file exists: the batch then
// matches against `collection` itself. `collection` is never changed, so a later save stores
// every entry it had.
std::unique_ptr<ImageCollection> WithoutMissingFiles(const ImageCollection& collection);

}  // namespace tessarix
