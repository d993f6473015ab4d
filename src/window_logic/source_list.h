#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessarix {

// The photographs waiting to become mosaics, kept in alphabetical order (letter case ignored,
// byte order between names that differ only in case) because a batch works through them in list
// order. The same path may be listed twice when it was added twice on purpose.
class SourceList {
 public:
  // Longest path a drop may add; longer ones are ignored rather than cut.
  static constexpr size_t kMaxDroppedPath = 260;

  const std::vector<std::string>& Entries() const { return entries_; }
  size_t Size() const { return entries_.size(); }
  bool Empty() const { return entries_.empty(); }
  std::optional<std::string> First() const;

  // Inserts at its sorted place (after equal entries) and returns that index.
  size_t Add(const std::string& path);

  // Adds the photographs of the folder holding `anyFile` (no subfolders): the program's own
  // mosaic and info pictures are skipped, and so is every photograph whose mosaic already exists
  // and was not created before it. Returns how many were added.
  size_t AddDirectory(const std::string& anyFile);

  // Adds each dropped path unless it is too long or already listed (letter case ignored).
  // Returns how many were added.
  size_t AddDropped(const std::vector<std::string>& paths);

  // Removes the entries at `indices` (any order, out-of-range ones ignored). True when the first
  // entry was among them, so the new first entry needs measuring.
  bool Remove(std::vector<size_t> indices);

  void Clear() { entries_.clear(); }

 private:
  std::vector<std::string> entries_;
};

// Whether Add Directory leaves `path` out: a file the program wrote itself, an unreadable one, or
// one whose mosaic is up to date.
bool SkipForDirectory(const std::string& path);

struct SourceSize {
  uint32_t width = 0;
  uint32_t height = 0;
};

// Decodes the photograph to learn its size; none when it cannot be loaded.
std::optional<SourceSize> MeasureSource(const std::string& path);

}  // namespace tessarix
