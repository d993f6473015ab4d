#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "collection/image_collection.h"
#include "platform/file_lock.h"

namespace tessarix {

// The collection window's commands without the window: load, create, update (analysis in slices
// driven by the caller's timer), black and white, and closing mid-analysis. The desktop window
// and the command line both drive these, so both show the same texts.
//
// Create and update lock the collection file (PathLock) before they read it and keep the lock
// until the new file has been renamed in, so runs of other programs on the same file take turns
// instead of overwriting what the other found. While another holds the lock the run waits: it
// counts as running, and each tick tries again.
class CollectionCommands {
 public:
  explicit CollectionCommands(ImageCollection& collection) : collection_(collection) {}

  // What a command has to say: a status line text and, when a message box is due, its text.
  struct Report {
    bool ok = false;
    // The file named was refused before any work (the command line's argument refusal).
    bool refused = false;
    std::string status;
    std::optional<std::string> message;
  };

  // Loads the collection file at `path` (stopping a running analysis first).
  Report Load(const std::string& path);

  // "Error reading the Image Collection!" with the file and the reason when the loaded file was
  // found but could not be read as a collection (another version): the load went on with an
  // empty collection, as the window shows it, but there is nothing to list or update.
  std::optional<std::string> UnreadFileText() const;

  // Creates (or refreshes) the collection saved as `path` over the folder that holds it. An
  // existing collection file of that name is read first and its analyses reused; any other
  // existing file is refused (Report::refused) and left as it is. Ignored (ok false, nothing
  // said) while a run is under way.
  Report BeginCreate(const std::string& path);

  // Rescans the image folder and starts the analysis. "Please Create/Load a Image Collection!"
  // when there is no collection file. Under the lock the file is read again when another program
  // changed it since the collection was read or saved, or when nothing was read from it yet; a
  // file that cannot be read as a collection is refused and never saved over.
  Report BeginUpdate();

  // One timer tick of a run: about 400 ms of analysis, or of waiting for the lock. While more is
  // to come the report carries the progress or waiting status; at the end the collection is
  // saved and the completion text is both the status and the message (when saving fails, or the
  // run cannot start after its wait, ok is false and the message says why).
  struct Tick {
    bool more = false;
    Report report;
  };
  Tick AnalyseTick();

  // Turns every thumbnail grey (in memory only). Ignored while a run is under way.
  bool MakeBlackAndWhite();

  // The window closes: a half-analysed collection is not kept.
  void Close();

  bool Running() const { return phase_ != Phase::kIdle; }

 private:
  enum class Phase { kIdle, kWaiting, kAnalysing };
  enum class Kind { kCreate, kUpdate };

  // Takes the lock and starts, or starts waiting for it.
  Report Start();
  // With the lock held: reads what the run needs and starts the analysis.
  Report StartLocked();
  Report ReadForCreate();
  Report ReadForUpdate();
  Tick WaitTick();
  Tick SaveTick();
  // Ends the run without saving: the lock goes, the report stays.
  Report Abandon(Report report);

  ImageCollection& collection_;
  Phase phase_ = Phase::kIdle;
  Kind kind_ = Kind::kUpdate;
  std::string path_;  // the collection file of the run
  PathLock lock_;
  uint64_t runStart_ = 0;
};

}  // namespace tessarix
