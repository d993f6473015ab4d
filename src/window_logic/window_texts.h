#pragma once

#include <optional>
#include <string>

#include "engine/usage_counter.h"
#include "job_state/mosaic_job.h"

namespace tessarix {

// What the main window's timer shows, read from the job in one go.
struct JobPoll {
  std::string statusLine;
  std::string progressLine;
  std::string infoText;
  std::optional<int> progressBar;  // 0..10000; none before the first batch
};

// Reads the job's texts in the order the window shows them (status, progress, info).
JobPoll PollJob(MosaicJob& job);

// The start button follows the batch: start, stop, or a stop already asked for.
std::string StartButtonCaption(bool batchRunning, bool stopRequested);

// The About window's usage line for a usage record.
std::string UsageLine(const UsageRecord& usage);

// "Desc (*.a)|*.a;*.b||" (pairs of description and patterns, ended by an empty field) as a
// file dialog's name filter list: "Desc (*.a *.b)", pairs joined by ";;".
std::string ToDialogFilter(const std::string& filter);

}  // namespace tessarix
