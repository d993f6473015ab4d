#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>

#include "collection/collection_entry.h"
#include "imaging/image.h"

namespace tessarix {

// A collection image as one cell loads it: the entry and the size it is loaded at (for a
// portrait cell, the turned frame). Equal keys load equal tiles.
struct TileKey {
  CollectionEntry* entry = nullptr;
  uint32_t width = 0, height = 0;

  friend bool operator==(const TileKey&, const TileKey&) = default;
};

// The loaded tiles a mosaic still needs. Grid cells share one size, so every cell an image fills
// loads the same tile: kept here, it is decoded once and copied for the other cells instead of
// being decoded again for each. A tile is kept only while a later cell still needs it, and only
// while the kept tiles fit the byte budget; a tile that was not kept is simply loaded again.
//
// Not synchronised: Find may be called from several threads at once only while nothing changes
// the cache.
class TileCache {
 public:
  explicit TileCache(size_t budgetBytes) : budget_(budgetBytes) {}

  // Before painting: one call per cell that will load `key`.
  void CountUse(const TileKey& key) { ++slots_[key].remaining; }

  // The kept tile of `key`, or null.
  const Image* Find(const TileKey& key) const;

  // Keeps `tile` for the remaining uses of `key`, over the budget if need be until the next
  // Trim; a key without remaining uses is not kept.
  void Store(const TileKey& key, Image tile);

  // One use of `key` done; the last use drops its tile.
  void Used(const TileKey& key);

  // Drops kept tiles until the rest fit the budget.
  void Trim();

  size_t Bytes() const { return bytes_; }

 private:
  struct Hash {
    size_t operator()(const TileKey& key) const;
  };
  struct Slot {
    size_t remaining = 0;
    std::optional<Image> tile;
  };
  void Drop(Slot& slot);

  std::unordered_map<TileKey, Slot, Hash> slots_;
  size_t bytes_ = 0;
  size_t budget_;
};

}  // namespace tessarix
