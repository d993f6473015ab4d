#include "engine/tile_cache.h"

#include <functional>
#include <utility>

namespace tessarix {
namespace {

size_t TileBytes(const Image& tile) {
  return tile.PixelCount() * sizeof(Pixel);
}

}  // namespace

size_t TileCache::Hash::operator()(const TileKey& key) const {
  size_t h = std::hash<const void*>()(key.entry);
  h ^= (uint64_t{key.width} << 32 | key.height) + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  return h;
}

const Image* TileCache::Find(const TileKey& key) const {
  const auto found = slots_.find(key);
  if (found == slots_.end() || !found->second.tile)
    return nullptr;
  return &*found->second.tile;
}

void TileCache::Store(const TileKey& key, Image tile) {
  const auto found = slots_.find(key);
  if (found == slots_.end() || found->second.remaining == 0)
    return;
  Drop(found->second);
  bytes_ += TileBytes(tile);
  found->second.tile = std::move(tile);
}

void TileCache::Used(const TileKey& key) {
  const auto found = slots_.find(key);
  if (found == slots_.end())
    return;
  if (found->second.remaining > 0)
    --found->second.remaining;
  if (found->second.remaining == 0) {
    Drop(found->second);
    slots_.erase(found);
  }
}

void TileCache::Trim() {
  for (auto it = slots_.begin(); bytes_ > budget_ && it != slots_.end(); ++it) Drop(it->second);
}

void TileCache::Drop(Slot& slot) {
  if (!slot.tile)
    return;
  bytes_ -= TileBytes(*slot.tile);
  slot.tile.reset();
}

}  // namespace tessarix
