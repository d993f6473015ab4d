#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "collection/image_collection.h"
#include "engine/parameter_check.h"
#include "job_state/mosaic_job.h"

namespace tessarix {

// What a batch needs beside the validated parameters: the fields and check boxes a person set.
struct BatchOptions {
  std::string webWidthField{kDefaultWebPageWidth};  // read as leading digits, not validated
  std::string jpegQualityField{MosaicSettingOf(&ParameterFields::jpegQuality).defaultText};
  bool useAllImages = false;
  bool textReport = false;
  bool webPage = false;
};

// The validated values the parameter check hands to a batch.
struct BatchParameters {
  EngineParameters params;
  uint32_t tilesPerRow = 0;
  uint32_t tileWidth = 0;  // 0 = mask mode
};

// What happened to a batch, for callers that report beyond the job's own texts. Every failure
// but a skipped source has already been shown through the prompt.
struct BatchOutcome {
  int completed = 0;
  std::vector<std::string> skipped;      // sources that could not be loaded
  std::vector<std::string> refused;      // sources whose own grid exceeds a size limit
  bool analysisFailed = false;           // the batch ended early at a failed analysis
  std::vector<std::string> unprocessed;  // sources not reached after it ended early
  bool nothingToMatch = false;           // no file of the collection exists any more
  size_t tilesNotLoaded = 0;             // images that could not be loaded, cells left black
  bool stopped = false;                  // ended through the stop path
  std::vector<std::string> mosaics;      // mosaic files written
  // Outputs of made mosaics that are not there as this batch made them: the mosaic, report or
  // page that could not be written, and a report or page of the person's own left in its place.
  std::vector<std::string> unsaved;

  // Whether anything the person asked for was not done in full (a stop aside).
  bool Failed() const {
    return !skipped.empty() || !refused.empty() || analysisFailed || nothingToMatch ||
           tilesNotLoaded > 0 || !unsaved.empty();
  }
};

// The batch loop on the calling thread: every source in turn through load, analysis, matching,
// rendering and the optional report and web page, honouring stop requests between the stages.
// The mask file of mask mode is asked for once through the prompt. Entries whose file no longer
// exists are left out of the matching; a source whose own grid exceeds a size limit is refused
// and the next one taken.
BatchOutcome RunBatch(MosaicJob& job, const BatchParameters& parameters,
                      const BatchOptions& options, std::deque<std::string> sources,
                      ImageCollection& collection);

// Starts and stops batches on one worker thread at idle priority. The owner polls the job.
class JobDriver {
 public:
  JobDriver(MosaicJob& job, ImageCollection& collection);
  ~JobDriver();  // requests a stop and waits for the worker
  JobDriver(const JobDriver&) = delete;
  JobDriver& operator=(const JobDriver&) = delete;

  enum class Start { Started, StopAsked, InvalidParameters, NoCollection };

  // The start button: while a batch runs, asks whether to stop it; otherwise runs the parameter
  // check (its message goes to the job's info text), refuses an empty collection with a message,
  // copies `sources` and starts the worker. `check` receives the check's result for the window's
  // fields.
  Start StartJob(const ParameterCheckInput& input, const BatchOptions& options,
                 const std::vector<std::string>& sources, ParameterCheckResult* check = nullptr);

  bool IsAlive() const { return alive_.load(); }
  void RequestStop() { job_.RequestStop(); }
  // Blocks until the worker has finished (for the command line and tests).
  void Wait();
  // The outcome of the last finished batch.
  const BatchOutcome& LastOutcome() const { return outcome_; }

 private:
  void Join();

  MosaicJob& job_;
  ImageCollection& collection_;
  std::thread worker_;
  std::atomic<bool> alive_{false};
  BatchOutcome outcome_;
};

}  // namespace tessarix
