#include "job/collection_commands.h"

#include "collection/collection_file.h"
#include "job/mosaic_job.h"
#include "platform/clock.h"
#include "platform/text_format.h"
#include "platform/thread_count.h"

namespace tessarix {
namespace {

constexpr const char* kLoadError = "Error reading the Image Collection!";

std::string CompletionText(const ImageCollection& collection, uint64_t start) {
  return Format("Images in Collection %d, Load Completed 100%%, Elapsed Time: %s",
                static_cast<int>(collection.Size()),
                FormatDuration(static_cast<int64_t>(TickMillis() - start)).c_str());
}

}  // namespace

CollectionCommands::Report CollectionCommands::Load(const std::string& path) {
  const uint64_t start = TickMillis();
  collection_.filePath = path;
  running_ = false;
  Report report;
  if (!LoadCollection(collection_)) {
    report.message = kLoadError;
    return report;
  }
  report.ok = true;
  report.status = CompletionText(collection_, start);
  report.message = report.status;
  return report;
}

CollectionCommands::Report CollectionCommands::BeginCreate(const std::string& path) {
  if (running_)
    return {};
  collection_.filePath = path;
  // An existing file of that name is read first so that its analyses are reused; a missing
  // one simply leaves the collection empty.
  LoadCollection(collection_);
  collection_.imageFolder = FolderOf(path);
  collection_.filePath = path;
  return BeginUpdate();
}

CollectionCommands::Report CollectionCommands::BeginUpdate() {
  Report report;
  if (running_)
    return report;
  if (collection_.filePath.empty()) {
    report.message = "Please Create/Load a Image Collection!";
    return report;
  }
  runStart_ = TickMillis();
  collection_.Rescan();
  collection_.SetThreadCount(DefaultThreadCount());
  collection_.StartAnalysis();
  running_ = true;
  report.ok = true;
  report.status = "Building File List...";
  return report;
}

CollectionCommands::Tick CollectionCommands::AnalyseTick() {
  Tick tick;
  if (!running_)
    return tick;
  if (collection_.AnalyseSome()) {
    tick.more = true;
    tick.report.ok = true;
    tick.report.status =
        Format("Image nr.%d, Analysis Completed %.2f%%, Elapsed Time: %s",
               static_cast<int>(collection_.AnalysedCount()), collection_.analysisPercent,
               FormatDuration(static_cast<int64_t>(TickMillis() - runStart_)).c_str());
    return tick;
  }
  running_ = false;
  collection_.SetLoadedDescription();
  if (SaveCollection(collection_)) {
    tick.report.ok = true;
    tick.report.status = CompletionText(collection_, runStart_);
    tick.report.message = tick.report.status;
  } else {
    // The analysis may have taken an hour; losing it without a word is not acceptable.
    tick.report.status =
        Format("Unable to save the Image Collection \"%s\"!", collection_.filePath.c_str());
    tick.report.message = tick.report.status;
  }
  return tick;
}

bool CollectionCommands::MakeBlackAndWhite() {
  if (running_)
    return false;
  collection_.MakeBlackAndWhite();
  return true;
}

void CollectionCommands::Close() {
  if (!running_)
    return;
  running_ = false;
  collection_.Clear();
}

}  // namespace tessarix
