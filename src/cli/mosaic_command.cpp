#include <chrono>
#include <filesystem>
#include <thread>

#include "batch/job_driver.h"
#include "cli/cli_prompt.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/status_printer.h"
#include "imaging/image.h"
#include "imaging/jpeg_file.h"
#include "job_state/mosaic_job.h"
#include "platform/text_format.h"
#include "window_logic/collection_commands.h"

namespace tessarix::cli {
namespace {

// Shows the job's texts until the worker ends; Ctrl-C asks it to stop.
void FollowBatch(MosaicJob& job, JobDriver& driver) {
  StatusPrinter printer;
  bool stopAsked = false;
  // Pictures are for the desktop's preview windows; a caption alone is a message. The finish
  // message is also the last status, which a plain log has already shown.
  auto drain = [&job, &printer] {
    while (auto item = job.TakeDisplayItem()) {
      if (!item->image && !item->caption.empty() && !printer.AlreadyLogged(item->caption)) {
        PrintMessage(item->caption);
      }
    }
  };
  while (driver.IsAlive()) {
    if (InterruptRequested() && !stopAsked) {
      driver.RequestStop();
      stopAsked = true;
    }
    const std::string status = job.Status();
    printer.Show(status, job.StatusLine() + "  " + job.ProgressLine());
    drain();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  driver.Wait();
  printer.Show(job.Status(), job.StatusLine() + "  " + job.ProgressLine());
  printer.Finish();
  drain();
}

// The window measures the first source so the parameter check can size the grid.
void MeasureFirstSource(const std::vector<std::string>& sources, ParameterCheckInput& input) {
  if (sources.empty())
    return;
  Image image;
  if (!WithJpegMessage(image.LoadJpeg(sources.front()))) {
    PrintMessage(Format("Unable to load file %s", sources.front().c_str()));
    return;
  }
  input.sourceWidth = image.Width();
  input.sourceHeight = image.Height();
}

}  // namespace

int RunMosaic(const MosaicOptions& options) {
  CliPrompt prompt;
  ScopedPrompt promptGuard(prompt);
  if (!options.mask.empty())
    prompt.SetFileAnswer(AbsolutePath(options.mask));

  ParameterCheckInput input;
  input.fields = options.fields;
  const std::optional<int> algorithm = AlgorithmFromName(options.algorithm);
  if (!algorithm) {
    PrintMessage("Invalid Algorithm.");
    return kRefused;
  }
  input.fields.algorithmIndex = *algorithm;
  // Mask mode would ask for the mask once the batch runs, where the command line has no one to
  // ask: without --mask the arguments are incomplete.
  const ParameterCheckResult check = ValidateParameters(input);
  if (check.valid && check.tileWidth == 0 && options.mask.empty()) {
    PrintMessage("A mask file is needed for tile width 0: give it with --mask.");
    return kRefused;
  }

  ImageCollection collection;
  CollectionCommands commands(collection);
  const CollectionCommands::Report loaded = commands.Load(AbsolutePath(options.collectionFile));
  if (!loaded.ok) {
    if (loaded.message)
      PrintMessage(*loaded.message);
    return kFailed;
  }
  // A file of another version loads as an empty collection, which the batch would only call
  // missing: name the file and why.
  if (const std::optional<std::string> unread = commands.UnreadFileText()) {
    PrintMessage(*unread);
    return kFailed;
  }
  if (options.grey)
    collection.MakeBlackAndWhite();

  std::vector<std::string> sources;
  for (const std::string& source : options.sources) sources.push_back(AbsolutePath(source));
  MeasureFirstSource(sources, input);

  BatchOptions batch;
  batch.useAllImages = options.useAll;
  batch.textReport = options.report;
  batch.webPage = options.webWidth.has_value();
  if (options.webWidth)
    batch.webWidthField = *options.webWidth;
  batch.jpegQualityField = options.fields.jpegQuality;

  MosaicJob job;
  JobDriver driver(job, collection);
  InstallInterruptHandler();
  switch (driver.StartJob(input, batch, sources)) {
    case JobDriver::Start::InvalidParameters:
      PrintMessage(job.InfoText());
      return kRefused;
    case JobDriver::Start::NoCollection:
    case JobDriver::Start::StopAsked:
      return kFailed;
    case JobDriver::Start::Started:
      break;
  }
  FollowBatch(job, driver);
  const BatchOutcome& outcome = driver.LastOutcome();
  for (const std::string& skipped : outcome.skipped) {
    PrintMessage(Format("Skipped (cannot load): %s", skipped.c_str()));
  }
  for (const std::string& mosaic : outcome.mosaics) {
    if (std::filesystem::exists(mosaic))
      std::printf("%s\n", mosaic.c_str());
  }
  if (outcome.stopped)
    return InterruptRequested() ? kInterrupted : kFailed;
  if (outcome.Failed())
    return kFailed;
  return kDone;
}

}  // namespace tessarix::cli
