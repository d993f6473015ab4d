#include "window_logic/collection_commands.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "collection/collection_file.h"
#include "job_state/mosaic_job.h"
#include "platform/clock.h"
#include "platform/file_identity.h"
#include "platform/link_target.h"
#include "platform/text_format.h"
#include "platform/thread_count.h"

namespace tessarix {
namespace {

constexpr const char* kLoadError = "Error reading the Image Collection!";
constexpr const char* kNotCreated =
    "Not created: the file exists and cannot be read as an Image Collection!";
constexpr const char* kNotUpdated = "Not updated: the Image Collection cannot be read!";
constexpr const char* kLockFailed = "Unable to lock the Image Collection!";
constexpr const char* kSaveFailed = "Unable to save the Image Collection!";
constexpr const char* kWrongVersion = "wrong file version";

// A tick that waits for the lock lasts about as long as an analysis slice, trying it this often.
constexpr uint64_t kWaitSliceMillis = 250;
constexpr auto kLockRetry = std::chrono::milliseconds(25);

std::string CompletionText(const ImageCollection& collection, uint64_t start) {
  return Format("Images in Collection %d, Load Completed 100%%, Elapsed Time: %s",
                static_cast<int>(collection.Size()),
                FormatDuration(static_cast<int64_t>(TickMillis() - start)).c_str());
}

std::string WaitingText(const std::string& path) {
  return Format("Waiting while another program creates or updates \"%s\"...", path.c_str());
}

std::string Reason(const Failure& failure) {
  switch (failure.kind) {
    case FailureKind::kWrongVersion:
      return kWrongVersion;
    case FailureKind::kNotAFile:
      return "not a regular file";
    case FailureKind::kDamaged:
      return "damaged or cut short";
    default:
      return std::strerror(failure.systemError);
  }
}

// What failed as the status, and as the message also which file and why.
CollectionCommands::Report Failed(const char* what, const std::string& path,
                                  const std::string& reason) {
  CollectionCommands::Report report;
  report.status = what;
  report.message = Format("%s\n%s: %s", what, path.c_str(), reason.c_str());
  return report;
}

// The lock's failure always gives the operating system's words, whatever was opened.
CollectionCommands::Report LockFailed(const std::string& path, const Failure& failure) {
  return Failed(kLockFailed, path, std::strerror(failure.systemError));
}

CollectionCommands::Report Done() {
  CollectionCommands::Report report;
  report.ok = true;
  return report;
}

}  // namespace

CollectionCommands::Report CollectionCommands::Load(const std::string& path) {
  const uint64_t start = TickMillis();
  Abandon({});
  collection_.filePath = path;
  const Status loaded = LoadCollectionFile(collection_);
  if (!loaded && loaded.Why().kind != FailureKind::kWrongVersion)
    return Failed(kLoadError, path, Reason(loaded.Why()));
  Report report = Done();
  report.status = CompletionText(collection_, start);
  report.message = report.status;
  return report;
}

std::optional<std::string> CollectionCommands::UnreadFileText() const {
  if (!collection_.fileUnreadable)
    return std::nullopt;
  return Failed(kLoadError, collection_.filePath, kWrongVersion).message;
}

CollectionCommands::Report CollectionCommands::BeginCreate(const std::string& path) {
  if (Running())
    return {};
  kind_ = Kind::kCreate;
  path_ = path;
  return Start();
}

CollectionCommands::Report CollectionCommands::BeginUpdate() {
  Report report;
  if (Running())
    return report;
  if (collection_.filePath.empty()) {
    report.message = "Please Create/Load a Image Collection!";
    return report;
  }
  kind_ = Kind::kUpdate;
  path_ = collection_.filePath;
  return Start();
}

CollectionCommands::Report CollectionCommands::Start() {
  const Status attempt = lock_.TryLock(FollowLinks(path_));
  if (!attempt)
    return Abandon(LockFailed(path_, attempt.Why()));
  if (lock_.Held())
    return StartLocked();
  phase_ = Phase::kWaiting;
  Report report = Done();
  report.status = WaitingText(path_);
  return report;
}

CollectionCommands::Report CollectionCommands::StartLocked() {
  Report report = kind_ == Kind::kCreate ? ReadForCreate() : ReadForUpdate();
  if (!report.ok)
    return Abandon(report);
  runStart_ = TickMillis();
  collection_.Rescan();
  collection_.SetThreadCount(DefaultThreadCount());
  collection_.StartAnalysis();
  phase_ = Phase::kAnalysing;
  report.status = "Building File List...";
  return report;
}

CollectionCommands::Report CollectionCommands::ReadForCreate() {
  collection_.filePath = path_;
  const Status loaded = LoadCollectionFile(collection_);
  // A missing file simply leaves the collection empty; an existing one that is not a collection
  // of this version is some other file of the person's.
  if (!loaded &&
      !(loaded.Why().kind == FailureKind::kCannotRead && loaded.Why().systemError == ENOENT)) {
    Report report = Failed(kNotCreated, path_, Reason(loaded.Why()));
    report.refused = true;
    return report;
  }
  collection_.imageFolder = FolderOf(path_);
  collection_.filePath = path_;
  return Done();
}

CollectionCommands::Report CollectionCommands::ReadForUpdate() {
  const std::optional<FileIdentity> now = IdentifyFile(path_);
  const int lookError = errno;
  if (collection_.fileSeen && now == collection_.fileSeen) {
    if (collection_.fileUnreadable)
      return Failed(kNotUpdated, path_, kWrongVersion);
    return Done();
  }
  // Removed since it was read or saved: the update writes it anew.
  if (collection_.fileSeen && !collection_.fileUnreadable && !now && lookError == ENOENT)
    return Done();
  // Changed by another program, or never read: what it holds now is what gets updated.
  const bool grey = collection_.grey;
  const Status loaded = LoadCollectionFile(collection_);
  if (!loaded)
    return Failed(kNotUpdated, path_, Reason(loaded.Why()));
  if (grey)
    collection_.MakeBlackAndWhite();
  return Done();
}

CollectionCommands::Report CollectionCommands::Abandon(Report report) {
  lock_.Release();
  phase_ = Phase::kIdle;
  return report;
}

CollectionCommands::Tick CollectionCommands::AnalyseTick() {
  if (phase_ == Phase::kWaiting)
    return WaitTick();
  Tick tick;
  if (phase_ != Phase::kAnalysing)
    return tick;
  if (!collection_.AnalyseSome())
    return SaveTick();
  tick.more = true;
  tick.report.ok = true;
  tick.report.status =
      Format("Image nr.%d, Analysis Completed %.2f%%, Elapsed Time: %s",
             static_cast<int>(collection_.AnalysedCount()), collection_.analysisPercent,
             FormatDuration(static_cast<int64_t>(TickMillis() - runStart_)).c_str());
  return tick;
}

CollectionCommands::Tick CollectionCommands::WaitTick() {
  Tick tick;
  const uint64_t start = TickMillis();
  for (;;) {
    const Status attempt = lock_.TryLock(FollowLinks(path_));
    if (!attempt) {
      tick.report = Abandon(LockFailed(path_, attempt.Why()));
      return tick;
    }
    if (lock_.Held()) {
      tick.report = StartLocked();
      tick.more = Running();
      return tick;
    }
    if (TickMillis() - start >= kWaitSliceMillis) {
      tick.more = true;
      tick.report = Done();
      tick.report.status = WaitingText(path_);
      return tick;
    }
    std::this_thread::sleep_for(kLockRetry);
  }
}

CollectionCommands::Tick CollectionCommands::SaveTick() {
  Tick tick;
  collection_.SetLoadedDescription();
  const Status saved = SaveCollection(collection_);
  if (saved) {
    // Seen while still locked: a later update can tell whether anyone has changed it since.
    collection_.fileSeen = IdentifyFile(collection_.filePath);
    collection_.fileUnreadable = false;
    tick.report = Done();
    tick.report.status = CompletionText(collection_, runStart_);
    tick.report.message = tick.report.status;
  } else {
    // The analysis may have taken an hour; losing it without a word is not acceptable.
    tick.report = Failed(kSaveFailed, collection_.filePath, std::strerror(saved.Why().systemError));
  }
  Abandon({});
  return tick;
}

bool CollectionCommands::MakeBlackAndWhite() {
  if (Running())
    return false;
  collection_.MakeBlackAndWhite();
  return true;
}

void CollectionCommands::Close() {
  const bool analysing = phase_ == Phase::kAnalysing;
  Abandon({});
  // A run still waiting for its turn has changed nothing yet.
  if (analysing)
    collection_.Clear();
}

}  // namespace tessarix
