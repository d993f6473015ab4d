#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "collection/analysis_scheduler.h"
#include "collection/collection_entry.h"
#include "platform/file_identity.h"

namespace tessarix {

// The tile library: entries in list order (discovery or file order; the engine walks this order)
// plus a path index sorted by byte order for lookups. Entries are owned here and keep their
// address for their whole life, so cells may point at them.
class ImageCollection {
 public:
  static constexpr const char* kNoCollectionText =
      "(Please Load an existing collection or Create a new one)";
  static constexpr const char* kExtensions = "|JPG|JPEG|JPE|";

  ImageCollection();

  // Folder paths end with "/".
  std::string filePath;     // the collection file; empty when none
  std::string imageFolder;  // the folder scanned for images (the file's folder)
  std::string description = kNoCollectionText;
  double analysisPercent = 0.0;
  // The collection file as it was when the entries were last read from it or saved to it; none
  // when they never were. Tells whether another program has changed the file since.
  std::optional<FileIdentity> fileSeen;
  // That file was found but could not be read as a collection (another version): the collection
  // is empty and the file must never be saved over.
  bool fileUnreadable = false;
  // The thumbnails were turned grey after they were read.
  bool grey = false;

  size_t Size() const { return entries_.size(); }
  bool IsEmpty() const { return entries_.empty(); }
  CollectionEntry& Entry(size_t i) { return *entries_[i]; }
  const CollectionEntry& Entry(size_t i) const { return *entries_[i]; }
  // The path index: entries sorted by path.
  const std::vector<CollectionEntry*>& PathIndex() const { return index_; }

  // Also forgets the file (fileSeen, fileUnreadable).
  void Clear();
  CollectionEntry* FindByPath(const std::string& path) const;
  // Appends to the list; inserts into the index at the lower bound of its path.
  CollectionEntry& Add(std::unique_ptr<CollectionEntry> entry);
  void Remove(const CollectionEntry* entry);
  // Removes every entry whose valid flag is 0, keeping the order of the others.
  void RemoveInvalid();
  // Drops all entries and the index (folder, path, description and fileSeen stay).
  void ClearEntries();

  // Folder scan (folder_scan.cpp): adds the files of `folder` (and, when `recurse`, of its
  // subfolders) whose extension is in the "|A|B|" list and marks those already known valid.
  // Always true.
  bool ScanFolder(const std::string& folder, const std::string& extensions, bool recurse);
  // Scans the image folder again and drops the entries whose file is gone. False when there is
  // no image folder.
  bool Rescan();
  void MarkFramesAndRequired();

  // Time-sliced analysis (analysis_scheduler.cpp; tile_analysis.h does the per-entry work).
  void StartAnalysis();
  // Analyses entries for about kAnalysisSliceMillis; true while there is more to do.
  bool AnalyseSome();
  size_t AnalysedCount() const { return analysedCount_; }
  // Threads that decode entries ahead of the cursor during AnalyseSome; entries are still
  // completed one by one in list order. 1 (the default) analyses one entry after the other.
  void SetThreadCount(unsigned threads) { scheduler_.SetThreadCount(threads); }
  void MakeBlackAndWhite();

  // "The Collection contains %d Images." for a loaded collection.
  void SetLoadedDescription();

 private:
  std::vector<std::unique_ptr<CollectionEntry>> entries_;
  std::vector<CollectionEntry*> index_;
  size_t cursor_ = 0;  // next entry to analyse; Size() when done
  bool analysing_ = false;
  size_t analysedCount_ = 0;

  AnalysisScheduler scheduler_;
};

// The path up to and including its last "/" (searched from the end, position 0 excluded).
std::string FolderOf(const std::string& path);

}  // namespace tessarix
