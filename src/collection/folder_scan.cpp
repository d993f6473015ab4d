#include "collection/folder_scan.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "collection/image_collection.h"
#include "platform/text_format.h"

namespace tessarix {
namespace fs = std::filesystem;
namespace {

struct FolderListing {
  std::vector<std::string> files;    // regular files and links to regular files
  std::vector<std::string> folders;  // real folders only: links to folders are never followed
};

// The names in `folder`, each kind sorted by byte order so that every machine builds the same
// collection. A folder that cannot be read lists nothing; a file that vanishes while the folder is
// read is left out.
FolderListing ListFolder(const std::string& folder) {
  FolderListing listing;
  std::error_code error;
  fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
  const fs::directory_iterator end;
  for (; !error && it != end; it.increment(error)) {
    const fs::directory_entry& entry = *it;
    std::string name = entry.path().filename().string();
    std::error_code statusError;
    const fs::file_status linkStatus = entry.symlink_status(statusError);
    if (statusError)
      continue;
    if (fs::is_directory(linkStatus)) {
      listing.folders.push_back(std::move(name));
      continue;
    }
    const fs::file_status status = entry.status(statusError);
    if (!statusError && fs::is_regular_file(status))
      listing.files.push_back(std::move(name));
  }
  std::sort(listing.files.begin(), listing.files.end());
  std::sort(listing.folders.begin(), listing.folders.end());
  return listing;
}

// Whether the extension of `name` (after its last dot, which must not be the first character)
// is one of the "|A|B|" list, in any letter case.
bool HasListedExtension(const std::string& name, const std::string& extensions) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0)
    return false;
  const std::string extension = name.substr(dot + 1);
  // A "|" inside the name would let "x.JPG|JPEG" match across two list items.
  if (extension.find('|') != std::string::npos)
    return false;
  return extensions.find(UpperAscii("|" + extension + "|")) != std::string::npos;
}

// A "*.EXT" pattern matches names with that extension in any letter case (the way the platform
// the collections come from compared names); "*" and "*.*" match every name.
bool MatchesPattern(const std::string& name, const std::string& pattern) {
  if (pattern == "*" || pattern == "*.*")
    return true;
  if (pattern.size() > 2 && pattern.compare(0, 2, "*.") == 0) {
    const size_t dot = name.rfind('.');
    return dot != std::string::npos &&
           UpperAscii(name.substr(dot + 1)) == UpperAscii(pattern.substr(2));
  }
  return UpperAscii(name) == UpperAscii(pattern);
}

}  // namespace

bool ImageCollection::ScanFolder(const std::string& folder, const std::string& extensions,
                                 bool recurse) {
  const FolderListing listing = ListFolder(folder);
  for (const std::string& name : listing.files) {
    if (!HasListedExtension(name, extensions))
      continue;
    std::string path = folder + name;
    if (CollectionEntry* known = FindByPath(path)) {
      known->valid = 1;
    } else {
      auto entry = std::make_unique<CollectionEntry>();
      entry->path = std::move(path);
      Add(std::move(entry));
    }
  }
  // Subfolders after all files of their parent, depth first.
  if (recurse) {
    for (const std::string& name : listing.folders)
      ScanFolder(folder + name + "/", extensions, true);
  }
  return true;
}

bool ImageCollection::Rescan() {
  // An empty folder would mean the current working folder; there is nothing to rescan.
  if (imageFolder.empty())
    return false;
  for (auto& e : entries_) e->valid = 0;
  ScanFolder(imageFolder, kExtensions, true);
  RemoveInvalid();
  return true;
}

void ListFiles(const std::string& folder, const std::string& pattern, bool recurse,
               std::vector<std::string>& list) {
  const FolderListing listing = ListFolder(folder);
  for (const std::string& name : listing.files) {
    if (MatchesPattern(name, pattern))
      list.push_back(folder + name);
  }
  if (recurse) {
    for (const std::string& name : listing.folders)
      ListFiles(folder + name + "/", pattern, true, list);
  }
}

}  // namespace tessarix
