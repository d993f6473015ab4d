#include <cstdio>

#include "cli/cli_prompt.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/status_printer.h"
#include "job/collection_commands.h"

namespace tessarix::cli {
namespace {

// Runs the analysis slices one after another, showing the window's status texts.
int FollowAnalysis(CollectionCommands& commands) {
  StatusPrinter printer;
  for (;;) {
    if (InterruptRequested()) {
      printer.Finish();
      commands.Close();
      PrintMessage("Stopped!");
      return kInterrupted;
    }
    CollectionCommands::Tick tick = commands.AnalyseTick();
    printer.Show(tick.report.status, tick.report.status);
    if (!tick.more) {
      printer.Finish();
      if (tick.report.message)
        PrintMessage(*tick.report.message);
      return tick.report.ok ? kDone : kFailed;
    }
  }
}

void ShowEntries(const ImageCollection& collection) {
  std::printf("%s\n", collection.description.c_str());
  for (size_t i = 0; i < collection.Size(); ++i) {
    const CollectionEntry& entry = collection.Entry(i);
    std::printf("%s\t%ux%u\t%u\t%u\t%d\n", entry.path.c_str(), entry.pixelWidth, entry.pixelHeight,
                entry.portrait, entry.sequenceNumber, entry.required > 0 ? 1 : 0);
  }
}

}  // namespace

int RunCollection(CollectionAction action, const std::string& file) {
  CliPrompt prompt;
  ScopedPrompt promptGuard(prompt);
  ImageCollection collection;
  CollectionCommands commands(collection);
  const std::string path = AbsolutePath(file);
  InstallInterruptHandler();

  if (action == CollectionAction::Create) {
    const CollectionCommands::Report started = commands.BeginCreate(path);
    if (!started.ok) {
      if (started.message)
        PrintMessage(*started.message);
      return kFailed;
    }
    return FollowAnalysis(commands);
  }

  const CollectionCommands::Report loaded = commands.Load(path);
  if (!loaded.ok) {
    if (loaded.message)
      PrintMessage(*loaded.message);
    return kFailed;
  }
  if (action == CollectionAction::Show) {
    ShowEntries(collection);
    return kDone;
  }
  const CollectionCommands::Report started = commands.BeginUpdate();
  if (!started.ok) {
    if (started.message)
      PrintMessage(*started.message);
    return kFailed;
  }
  return FollowAnalysis(commands);
}

}  // namespace tessarix::cli
