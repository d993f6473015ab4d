#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "collection/image_collection.h"

namespace tessarix {

// The collection window's commands without the window: load, create, update (analysis in slices
// driven by the caller's timer), black and white, and closing mid-analysis. The desktop window
// and the command line both drive these, so both show the same texts.
class CollectionCommands {
 public:
  explicit CollectionCommands(ImageCollection& collection) : collection_(collection) {}

  // What a command has to say: a status line text and, when a message box is due, its text.
  struct Report {
    bool ok = false;
    std::string status;
    std::optional<std::string> message;
  };

  // Loads the collection file at `path` (stopping a running analysis first).
  Report Load(const std::string& path);

  // Creates (or refreshes) the collection saved as `path` over the folder that holds it. Ignored
  // (ok false, nothing said) while an analysis runs.
  Report BeginCreate(const std::string& path);

  // Rescans the image folder and starts the analysis. "Please Create/Load a Image Collection!"
  // when there is no collection file.
  Report BeginUpdate();

  // One timer tick of a running analysis: about 400 ms of work. While more is to come the report
  // carries the progress status; at the end the collection is saved and the completion text is
  // both the status and the message (when saving fails, ok is false and the message says so).
  struct Tick {
    bool more = false;
    Report report;
  };
  Tick AnalyseTick();

  // Turns every thumbnail grey (in memory only). Ignored while an analysis runs.
  bool MakeBlackAndWhite();

  // The window closes: a half-analysed collection is not kept.
  void Close();

  bool Running() const { return running_; }

 private:
  ImageCollection& collection_;
  bool running_ = false;
  uint64_t runStart_ = 0;
};

}  // namespace tessarix
