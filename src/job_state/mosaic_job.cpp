#include "job_state/mosaic_job.h"

#include <algorithm>

#include "platform/clock.h"
#include "platform/text_format.h"

namespace tessarix {
namespace {

constexpr size_t kStatusLimit = 255;

}  // namespace

void MosaicJob::SetStatus(const std::string& text) {
  {
    std::lock_guard<std::mutex> guard(statusLock_);
    status_.assign(text, 0, std::min(text.size(), kStatusLimit));
  }
  statusSeen_.store(false, std::memory_order_relaxed);
}

void MosaicJob::BeginStage(int stage, double target) {
  std::lock_guard<std::mutex> guard(lock_);
  progress_.BeginStage(stage, target);
}

void MosaicJob::EndStage() {
  std::lock_guard<std::mutex> guard(lock_);
  progress_.EndStage();
}

// The window clamps the progress values while it reads them, so even the per-item additions
// go through the lock; uncontended it costs a few nanoseconds next to a work item.
void MosaicJob::AddStageProgress(double n) {
  std::lock_guard<std::mutex> guard(lock_);
  progress_.AddStageProgress(n);
}

void MosaicJob::SetStageProgress(double value) {
  std::lock_guard<std::mutex> guard(lock_);
  progress_.SetStageProgress(value);
}

void MosaicJob::Post(std::optional<Image> image, const std::string& caption) {
  std::lock_guard<std::mutex> guard(lock_);
  queue_.Post(std::move(image), caption);
}

void MosaicJob::SetInfoText(const std::string& text) {
  std::lock_guard<std::mutex> guard(lock_);
  info_ = text;
}

void MosaicJob::StartBatch(int total) {
  std::lock_guard<std::mutex> guard(lock_);
  completed_ = 0;
  finishedCounted_ = false;
  batchTotal_ = total;
  accumulated_ = 0;
  clockStart_ = TickMillis();
  clockRunning_ = true;
}

void MosaicJob::StopClock() {
  std::lock_guard<std::mutex> guard(lock_);
  if (!clockRunning_)
    return;
  accumulated_ += TickMillis() - clockStart_;
  clockRunning_ = false;
}

void MosaicJob::ResetProgress() {
  std::lock_guard<std::mutex> guard(lock_);
  progress_.Reset();
  progress_.MosaicPercent(true);
  finishedCounted_ = false;
}

void MosaicJob::MosaicCompleted() {
  std::lock_guard<std::mutex> guard(lock_);
  ++completed_;
  finishedCounted_ = true;
}

int MosaicJob::Completed() const {
  std::lock_guard<std::mutex> guard(lock_);
  return completed_;
}

std::string MosaicJob::StatusLine() {
  const std::string status = Status();
  std::string line;
  {
    std::lock_guard<std::mutex> guard(lock_);
    const int stage = progress_.currentStage;
    if (stage >= 0 && stage < ProgressMeter::kStages && progress_.target[stage] != 1.0) {
      const double percent = progress_.progress[stage] * 100.0 / progress_.target[stage];
      line = Format("%s. Completed %.2f%%", status.c_str(), percent);
    } else {
      line = status;
    }
  }
  statusSeen_.store(true, std::memory_order_relaxed);
  return line;
}

std::string MosaicJob::ProgressLine(double* overall) {
  std::lock_guard<std::mutex> guard(lock_);
  if (batchTotal_ == 0) {
    if (overall != nullptr)
      *overall = 0.0;
    return std::string();
  }
  const double p = progress_.MosaicPercent(false);
  const bool running = running_.load();
  // A finished mosaic's 100 % stays in p until the next source resets it, while the batch runs on
  // to that source and after the batch; it must not count twice. Whether the batch still runs
  // does not tell: the window polls between the two, and saw 150 % for a batch of two.
  const int done = finishedCounted_ ? completed_ - 1 : completed_;
  const double total = (done * 100.0 + p) / batchTotal_;
  const uint64_t elapsed = accumulated_ + (clockRunning_ ? TickMillis() - clockStart_ : 0);
  // Nothing can be estimated from 0 %; show zero rather than divide by it.
  int64_t remaining = 0;
  if (running && total > 0.0) {
    const double estimate = static_cast<double>(elapsed) * (100.0 / total - 1.0);
    if (estimate > 0.0)
      remaining = static_cast<int64_t>(estimate);
  }
  if (overall != nullptr)
    *overall = total;
  return Format("Completed %.2f%% (%.2f%%), Mosaic nr.%d/%d, Elapsed Time: %s, Remaining Time.: %s",
                p, total, running ? done + 1 : completed_, batchTotal_,
                FormatDuration(static_cast<int64_t>(elapsed)).c_str(),
                FormatDuration(remaining).c_str());
}

std::string MosaicJob::InfoText() const {
  std::lock_guard<std::mutex> guard(lock_);
  return info_;
}

std::string MosaicJob::Status() const {
  std::lock_guard<std::mutex> guard(statusLock_);
  return status_;
}

ProgressMeter MosaicJob::Progress() const {
  std::lock_guard<std::mutex> guard(lock_);
  return progress_;
}

std::optional<DisplayQueue::Item> MosaicJob::TakeDisplayItem() {
  std::lock_guard<std::mutex> guard(lock_);
  return queue_.Take();
}

}  // namespace tessarix
