#include <cstdio>
#include <optional>

#include "cli/cli_prompt.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/status_printer.h"
#include "window_logic/collection_commands.h"

namespace tessarix::cli {
namespace {

int FailureStatus(const CollectionCommands::Report& report) {
  if (report.message)
    PrintMessage(*report.message);
  return report.refused ? kRefused : kFailed;
}

// Runs the analysis slices one after another, showing the window's status texts. The last text
// is also the message, printed once.
int FollowAnalysis(CollectionCommands& commands, const CollectionCommands::Report& started) {
  StatusPrinter printer;
  printer.Show(started.status, started.status);
  for (;;) {
    if (InterruptRequested()) {
      printer.Finish();
      commands.Close();
      PrintMessage("Stopped!");
      return kInterrupted;
    }
    CollectionCommands::Tick tick = commands.AnalyseTick();
    if (!tick.more) {
      printer.Finish();
      if (!tick.report.ok)
        return FailureStatus(tick.report);
      PrintMessage(tick.report.message.value_or(tick.report.status));
      return kDone;
    }
    printer.Show(tick.report.status, tick.report.status);
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

  if (action == CollectionAction::Show) {
    const CollectionCommands::Report loaded = commands.Load(path);
    if (!loaded.ok)
      return FailureStatus(loaded);
    if (const std::optional<std::string> unread = commands.UnreadFileText()) {
      PrintMessage(*unread);
      return kFailed;
    }
    ShowEntries(collection);
    return kDone;
  }
  // An update reads the file only once it holds the lock.
  if (action == CollectionAction::Update)
    collection.filePath = path;
  const CollectionCommands::Report started = action == CollectionAction::Create
                                                 ? commands.BeginCreate(path)
                                                 : commands.BeginUpdate();
  if (!started.ok)
    return FailureStatus(started);
  return FollowAnalysis(commands, started);
}

}  // namespace tessarix::cli
