#pragma once

#include <deque>
#include <optional>
#include <string>
#include <utility>

#include "imaging/image.h"

namespace tessarix {

// Pictures and captions the worker wants shown: an image opens a preview, a caption alone a
// message box. Not locked itself: MosaicJob guards it with its lock.
class DisplayQueue {
 public:
  struct Item {
    std::optional<Image> image;
    std::string caption;
  };

  void Post(std::optional<Image> image, std::string caption) {
    items_.push_back(Item{std::move(image), std::move(caption)});
  }
  std::optional<Item> Take() {
    if (items_.empty()) return std::nullopt;
    Item item = std::move(items_.front());
    items_.pop_front();
    return item;
  }
  size_t Size() const { return items_.size(); }
  void Clear() { items_.clear(); }

 private:
  std::deque<Item> items_;
};

}  // namespace tessarix
