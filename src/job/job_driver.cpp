#include "job/job_driver.h"

#include <pthread.h>
#include <sched.h>

#include <optional>
#include <utility>

#include "engine/mask_cells.h"
#include "engine/matching.h"
#include "engine/mosaic.h"
#include "engine/report.h"
#include "engine/source_analysis.h"
#include "imaging/image.h"
#include "platform/text_format.h"
#include "platform/thread_count.h"
#include "platform/user_prompt.h"

namespace tessarix {
namespace {

constexpr const char* kMaskFilter = "Images JPEG (*.jpg)|*.jpg;*.jpeg;*.jpe||";

// The field is read as leading digits; 0 or anything above 100 (negative values included, as
// they read as huge unsigned numbers) means the best quality.
uint32_t QualityFromField(const std::string& field) {
  const auto quality = static_cast<uint32_t>(ParseLeadingInt(field));
  return (quality == 0 || quality > 100) ? 100 : quality;
}

std::string OutputBase(const std::string& source) {
  return source.size() >= 4 ? source.substr(0, source.size() - 4) : std::string();
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
      ShortenPath(mosaic.outputBase + " Mosaic.JPG", 30).c_str());
}

// One source through every stage; the stop request is looked at between stages.
enum class SourceResult { Done, Skipped, AnalysisFailed, Stopped };

class BatchRun {
 public:
  BatchRun(MosaicJob& job, const BatchParameters& parameters, const BatchOptions& options,
           ImageCollection& collection)
      : job_(job), parameters_(parameters), options_(options), collection_(collection) {}

  SourceResult Process(const std::string& source, BatchOutcome& outcome);

 private:
  bool Analyse(Mosaic& mosaic, const Image& image, bool& stopped);
  void WriteCompanions(Mosaic& mosaic);

  MosaicJob& job_;
  const BatchParameters& parameters_;
  const BatchOptions& options_;
  ImageCollection& collection_;
  std::string maskFile_;  // asked once per batch
};

bool BatchRun::Analyse(Mosaic& mosaic, const Image& image, bool& stopped) {
  job_.SetStatus("Analysis of Image...");
  if (parameters_.tileWidth != 0) {
    job_.SetStatus("Loading Mask Image...");
    return AnalyseSourceGrid(job_, mosaic, image, parameters_.tilesPerRow, parameters_.tileWidth,
                             collection_) != 0;
  }
  if (maskFile_.empty()) {
    std::optional<std::string> chosen =
        Prompt().AskOpenFile(kMaskFilter, "jpg", "Choose the mask image", 0);
    if (!chosen) {
      stopped = true;
      return false;
    }
    maskFile_ = *chosen;
  }
  return AnalyseSourceMask(job_, mosaic, image, maskFile_, collection_) != 0;
}

void BatchRun::WriteCompanions(Mosaic& mosaic) {
  if (options_.textReport || options_.webPage)
    job_.SetStatus("Saving Report");
  if (options_.textReport) {
    WriteTextReport(mosaic.cells, mosaic.params, mosaic.outputBase + " Report.TXT");
  }
}

SourceResult BatchRun::Process(const std::string& source, BatchOutcome& outcome) {
  Mosaic mosaic;
  mosaic.params = parameters_.params;
  mosaic.sourcePath = source;
  mosaic.outputBase = OutputBase(source);
  mosaic.jpegQuality = QualityFromField(options_.jpegQualityField);
  mosaic.useAllImages = options_.useAllImages;

  job_.SetStatus("Loading Image...");
  Image image;
  if (!image.LoadJpeg(source))
    return SourceResult::Skipped;
  if (job_.StopRequested())
    return SourceResult::Stopped;

  bool stopped = false;
  if (!Analyse(mosaic, image, stopped)) {
    return stopped ? SourceResult::Stopped : SourceResult::AnalysisFailed;
  }
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
  // A full disk or a target that cannot be replaced keeps the earlier file under that name, so
  // only the save itself can say whether the file is this mosaic.
  if (mosaic.mosaicSaved)
    outcome.mosaics.push_back(mosaic.mosaicFile);
  else if (!mosaic.mosaicFile.empty())
    outcome.unsaved.push_back(mosaic.mosaicFile);
  job_.SetStatus("Mosaic Completed.");
  if (job_.StopRequested())
    return SourceResult::Stopped;

  WriteCompanions(mosaic);
  if (job_.StopRequested())
    return SourceResult::Stopped;
  if (options_.webPage) {
    WriteWebPage(mosaic.cells, mosaic.mosaicFile, mosaic.outputBase,
                 ParseLeadingInt(options_.webWidthField));
  }
  if (job_.StopRequested())
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
  BatchRun run(job, parameters, options, collection);
  bool stopped = false;
  while (!job.StopRequested() && !sources.empty()) {
    job.ResetProgress();
    const std::string source = std::move(sources.front());
    sources.pop_front();
    const SourceResult result = run.Process(source, outcome);
    if (result == SourceResult::Skipped)
      outcome.skipped.push_back(source);
    if (result == SourceResult::Stopped) {
      stopped = true;
      break;
    }
    if (result == SourceResult::AnalysisFailed) {
      outcome.analysisFailed = true;
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
