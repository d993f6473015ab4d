#include "batch/job_driver.h"

#include <pthread.h>
#include <sched.h>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "batch/batch_messages.h"
#include "engine/existing_tiles.h"
#include "engine/mask_cells.h"
#include "engine/matching.h"
#include "engine/mosaic.h"
#include "engine/output_names.h"
#include "engine/rendering.h"
#include "engine/replace_check.h"
#include "engine/report.h"
#include "engine/source_analysis.h"
#include "engine/web_page.h"
#include "imaging/image.h"
#include "imaging/jpeg_dialog_filter.h"
#include "imaging/jpeg_file.h"
#include "platform/atomic_file.h"
#include "platform/text_format.h"
#include "platform/thread_count.h"
#include "platform/user_prompt.h"

namespace tessarix {
namespace {

// The field is read as leading digits; 0 or anything above 100 (negative values included, as
// they read as huge unsigned numbers) means the best quality.
uint32_t QualityFromField(const std::string& field) {
  const auto quality = static_cast<uint32_t>(ParseLeadingInt(field));
  return (quality == 0 || quality > 100) ? 100 : quality;
}

std::string MosaicInfoText(const Mosaic& mosaic) {
  uint64_t widths = 0, heights = 0;
  for (const MosaicCell& cell : mosaic.cells) {
    widths += cell.width;
    heights += cell.height;
  }
  const uint64_t count = mosaic.cells.empty() ? 1 : mosaic.cells.size();
  return Format(
      "The Image/Tile Collection contains %d images. The final Mosaic contain %d tiles. The size "
      "of the final Mosaic will be %dx%d pixel. The size of every tile will be %dx%d pixel. The "
      "current input image is \"%s\". \nThe mosaic will be saved into the file \"%s\". ",
      static_cast<int>(mosaic.collection ? mosaic.collection->Size() : 0),
      static_cast<int>(mosaic.cells.size()), static_cast<int>(mosaic.width),
      static_cast<int>(mosaic.height), static_cast<int>(widths / count),
      static_cast<int>(heights / count), ShortenPath(mosaic.sourcePath, 30).c_str(),
      ShortenPath(MosaicFileName(mosaic.outputBase), 30).c_str());
}

// One source through every stage; the stop request is looked at between stages.
enum class SourceResult { Done, Skipped, OverLimit, AnalysisFailed, Stopped };

class BatchRun {
 public:
  BatchRun(MosaicJob& job, const BatchParameters& parameters, const BatchOptions& options,
           ImageCollection& collection)
      : job_(job), parameters_(parameters), options_(options), collection_(collection) {}

  SourceResult Process(const std::string& source, BatchOutcome& outcome);
  // Why the last analysis that ended the batch failed.
  const Failure& AnalysisFailure() const { return analysis_.Why(); }

 private:
  Status Analyse(Mosaic& mosaic, const Image& image);
  bool WithinLimits(const std::string& source, const Image& image);
  bool WriteCompanions(const Mosaic& mosaic, AtomicFile& report, AtomicFile& page,
                       std::vector<AtomicFile*>& set, BatchOutcome& outcome);
  SourceResult SaveOutputs(Mosaic& mosaic, AtomicFile& mosaicFile, BatchOutcome& outcome);

  MosaicJob& job_;
  const BatchParameters& parameters_;
  const BatchOptions& options_;
  ImageCollection& collection_;
  std::string maskFile_;  // asked once per batch
  Status analysis_;
};

Status BatchRun::Analyse(Mosaic& mosaic, const Image& image) {
  job_.SetStatus("Analysis of Image...");
  if (parameters_.tileWidth != 0) {
    job_.SetStatus("Loading Mask Image...");
    return AnalyseSourceGrid(job_, mosaic, image, parameters_.tilesPerRow, parameters_.tileWidth,
                             collection_);
  }
  if (maskFile_.empty()) {
    std::optional<std::string> chosen =
        Prompt().AskOpenFile(kJpegDialogFilter, "jpg", "Choose the mask image", 0);
    if (!chosen)
      return Failure{FailureKind::kStopped, {}, 0, {}};
    maskFile_ = *chosen;
  }
  return AnalyseSourceMask(job_, mosaic, image, maskFile_, collection_);
}

// The parameter check measured the first source only; every source's grid has its own size.
bool BatchRun::WithinLimits(const std::string& source, const Image& image) {
  if (parameters_.tileWidth == 0)
    return true;  // a mask fixes the size, whatever the source
  const std::string limit =
      GridLimitMessage(image.Width(), image.Height(), parameters_.tilesPerRow,
                       parameters_.tileWidth, parameters_.params.tileBorder);
  if (!limit.empty())
    Prompt().ShowMessage(OverLimitText(source, limit), MessageIcon::Warning);
  return limit.empty();
}

// The file's name and the operating system's reason.
void SayUnwritten(const Failure& failure) {
  Prompt().ShowMessage(
      Format("Unable to write %s\n%s", failure.path.c_str(), failure.SystemText().c_str()),
      MessageIcon::Warning);
}

// A report or page into its temporary file, which then joins `set`. A file there that Tessarix
// did not write stays as it is and is named, and the set goes on without it. False when the
// file cannot be written: then nothing of the set may be put in place.
bool WriteCompanion(AtomicFile& file, bool mayReplace, const std::function<Status()>& write,
                    std::vector<AtomicFile*>& set, BatchOutcome& outcome) {
  if (!mayReplace) {
    Prompt().ShowMessage(
        Format("Not replaced (not written by Tessarix): %s", file.TargetPath().c_str()),
        MessageIcon::Warning);
    outcome.unsaved.push_back(file.TargetPath());
    return true;
  }
  if (Status written = write(); !written) {
    SayUnwritten(written.Why());
    outcome.unsaved.push_back(file.TargetPath());
    return false;
  }
  set.push_back(&file);
  return true;
}

// The report and the page asked for, into their temporary files; false when one cannot be
// written.
bool BatchRun::WriteCompanions(const Mosaic& mosaic, AtomicFile& report, AtomicFile& page,
                               std::vector<AtomicFile*>& set, BatchOutcome& outcome) {
  if (options_.textReport || options_.webPage)
    job_.SetStatus("Saving Report");
  const auto writeReport = [&] { return WriteTextReport(mosaic.cells, mosaic.params, report); };
  const auto writePage = [&] {
    return WriteWebPage(mosaic.cells, mosaic.mosaicFile, mosaic.outputBase,
                        ParseLeadingInt(options_.webWidthField), page);
  };
  if (options_.textReport &&
      !WriteCompanion(report, MayReplaceReport(report.TargetPath()), writeReport, set, outcome)) {
    return false;
  }
  return !options_.webPage ||
         WriteCompanion(page, MayReplaceWebPage(page.TargetPath()), writePage, set, outcome);
}

// The mosaic, its report and its page are one set: all are written to their temporary files
// first and renamed together, so that a failure or a stop before the renames keeps every
// earlier output, and no report or page describes a mosaic that was not saved.
SourceResult BatchRun::SaveOutputs(Mosaic& mosaic, AtomicFile& mosaicFile, BatchOutcome& outcome) {
  if (mosaic.picture.Empty()) {  // not written; the rendering has said why
    outcome.unsaved.push_back(MosaicFileName(mosaic.outputBase));
    return SourceResult::Done;
  }
  AtomicFile report(ReportFileName(mosaic.outputBase));
  AtomicFile page(WebPageFileName(mosaic.outputBase));
  std::vector<AtomicFile*> set;
  const bool complete = WriteCompanions(mosaic, report, page, set, outcome);
  if (job_.StopRequested())
    return SourceResult::Stopped;
  set.push_back(&mosaicFile);  // last: a rename refused midway then keeps the earlier mosaic
  const Status placed = complete ? CommitTogether(set) : Status();
  if (!complete || !placed) {
    for (const AtomicFile* file : set) {
      if (file->Committed())
        continue;
      if (!placed && placed.Why().path == file->TargetPath())
        SayUnwritten(placed.Why());
      outcome.unsaved.push_back(file->TargetPath());
    }
  }
  if (mosaicFile.Committed()) {
    mosaic.mosaicSaved = true;
    outcome.mosaics.push_back(mosaic.mosaicFile);
    MosaicSaved(job_, mosaic, std::move(mosaic.picture));
  }
  return SourceResult::Done;
}

SourceResult BatchRun::Process(const std::string& source, BatchOutcome& outcome) {
  Mosaic mosaic;
  mosaic.params = parameters_.params;
  mosaic.sourcePath = source;
  mosaic.outputBase = OutputBase(source);
  AtomicFile mosaicFile(MosaicFileName(mosaic.outputBase));
  mosaic.mosaicOutput = &mosaicFile;
  mosaic.jpegQuality = QualityFromField(options_.jpegQualityField);
  mosaic.useAllImages = options_.useAllImages;

  job_.SetStatus("Loading Image...");
  Image image;
  if (!WithJpegMessage(image.LoadJpeg(source)))
    return SourceResult::Skipped;
  if (job_.StopRequested())
    return SourceResult::Stopped;
  if (!WithinLimits(source, image))
    return SourceResult::OverLimit;

  analysis_ = Analyse(mosaic, image);
  if (!analysis_)
    return analysis_.Why().kind == FailureKind::kStopped ? SourceResult::Stopped
                                                         : SourceResult::AnalysisFailed;
  if (job_.StopRequested())
    return SourceResult::Stopped;
  job_.Post(std::move(image), Format("Input: %s", source.c_str()));
  if (job_.StopRequested())
    return SourceResult::Stopped;

  job_.SetStatus("Calculating Mosaic Information...");
  ResetAssignment(job_, mosaic);
  if (job_.StopRequested())
    return SourceResult::Stopped;
  job_.SetInfoText(MosaicInfoText(mosaic));
  job_.SetStatus("Creating Mosaic...");
  CreateMosaic(job_, mosaic);
  if (job_.StopRequested())
    return SourceResult::Stopped;
  if (mosaic.tilesNotLoaded > 0) {
    outcome.tilesNotLoaded += mosaic.tilesNotLoaded;
    Prompt().ShowMessage(TilesNotLoadedText(mosaic.tilesNotLoaded, source), MessageIcon::Warning);
  }
  job_.SetStatus("Mosaic Completed.");
  if (job_.StopRequested())
    return SourceResult::Stopped;
  if (SaveOutputs(mosaic, mosaicFile, outcome) == SourceResult::Stopped)
    return SourceResult::Stopped;

  job_.SetStatus("Freeing Memory");
  job_.BeginStage(7, 1.0);
  mosaic.cells.clear();
  job_.EndStage();
  job_.MosaicCompleted();
  job_.SetStatus("Ready");
  return SourceResult::Done;
}

void SetIdlePriority() {
  sched_param param{};
  param.sched_priority = 0;
  pthread_setschedparam(pthread_self(), SCHED_IDLE, &param);
}

}  // namespace

BatchOutcome RunBatch(MosaicJob& job, const BatchParameters& parameters,
                      const BatchOptions& options, std::deque<std::string> sources,
                      ImageCollection& collection) {
  BatchOutcome outcome;
  job.SetRunning(true);
  job.StartBatch(static_cast<int>(sources.size()));
  const std::unique_ptr<ImageCollection> existing = WithoutMissingFiles(collection);
  BatchRun run(job, parameters, options, existing ? *existing : collection);
  if (existing && existing->IsEmpty()) {
    outcome.nothingToMatch = true;
    Prompt().ShowMessage(NothingToMatchText(), MessageIcon::Warning);
    sources.clear();
  }
  bool stopped = false;
  while (!job.StopRequested() && !sources.empty()) {
    job.ResetProgress();
    const std::string source = std::move(sources.front());
    sources.pop_front();
    const SourceResult result = run.Process(source, outcome);
    if (result == SourceResult::Skipped)
      outcome.skipped.push_back(source);
    if (result == SourceResult::OverLimit)
      outcome.refused.push_back(source);
    if (result == SourceResult::Stopped) {
      stopped = true;
      break;
    }
    if (result == SourceResult::AnalysisFailed) {
      outcome.analysisFailed = true;
      outcome.unprocessed.assign(sources.begin(), sources.end());
      Prompt().ShowMessage(
          AnalysisFailedText(run.AnalysisFailure(), source, outcome.unprocessed),
          MessageIcon::Warning);
      break;
    }
  }
  outcome.completed = job.Completed();
  if (stopped) {
    // The cells went with the source's Mosaic; the texts say what a person expects to read.
    job.SetStatus("Freeing Memory (Stopping...)");
    job.SetStatus("Stopped!");
    outcome.stopped = true;
  } else {
    const std::string message = outcome.completed > 0 ? Format("Completed %ld Mosaics!",
                                                               static_cast<long>(outcome.completed))
                                                      : std::string("Ok");
    job.SetStatus(message);
    job.Post(std::nullopt, message);
  }
  job.StopClock();
  job.SetRunning(false);
  return outcome;
}

JobDriver::JobDriver(MosaicJob& job, ImageCollection& collection)
    : job_(job), collection_(collection) {}

JobDriver::~JobDriver() {
  job_.RequestStop();
  Join();
}

void JobDriver::Join() {
  if (worker_.joinable())
    worker_.join();
}

void JobDriver::Wait() {
  Join();
}

JobDriver::Start JobDriver::StartJob(const ParameterCheckInput& input, const BatchOptions& options,
                                     const std::vector<std::string>& sources,
                                     ParameterCheckResult* check) {
  if (IsAlive()) {
    if (Prompt().AskYesNo("There is already a Mosaic process running. Do you want to stop it?")) {
      job_.RequestStop();
    }
    return Start::StopAsked;
  }
  Join();
  ParameterCheckInput checked = input;
  checked.jobRunning = false;
  ParameterCheckResult result = ValidateParameters(checked);
  job_.SetInfoText(result.infoText);
  if (check != nullptr)
    *check = result;
  if (!result.valid)
    return Start::InvalidParameters;
  if (collection_.Size() < 1) {
    Prompt().ShowMessage("Please load/create first a Image Collection", MessageIcon::Warning);
    return Start::NoCollection;
  }
  BatchParameters parameters{result.params, result.tilesPerRow, result.tileWidth};
  parameters.params.threads = DefaultThreadCount();
  std::deque<std::string> queue(sources.begin(), sources.end());
  job_.ClearStop();
  job_.SetRunning(true);
  alive_.store(true);
  worker_ = std::thread([this, parameters, options, queue = std::move(queue)]() mutable {
    SetIdlePriority();
    outcome_ = RunBatch(job_, parameters, options, std::move(queue), collection_);
    alive_.store(false);
  });
  return Start::Started;
}

}  // namespace tessarix
