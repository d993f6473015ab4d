#include "engine/existing_tiles.h"

#include <sys/stat.h>

#include <vector>

namespace tessarix {
namespace {

bool IsRegularFile(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

std::unique_ptr<ImageCollection> WithoutMissingFiles(const ImageCollection& collection) {
  std::vector<bool> exists(collection.Size());
  bool allExist = true;
  for (size_t i = 0; i < collection.Size(); ++i) {
    exists[i] = IsRegularFile(collection.Entry(i).path);
    allExist = allExist && exists[i];
  }
  if (allExist)
    return nullptr;
  auto kept = std::make_unique<ImageCollection>();
  kept->filePath = collection.filePath;
  kept->imageFolder = collection.imageFolder;
  kept->description = collection.description;
  for (size_t i = 0; i < collection.Size(); ++i) {
    if (exists[i])
      kept->Add(std::make_unique<CollectionEntry>(collection.Entry(i)));
  }
  return kept;
}

}  // namespace tessarix
