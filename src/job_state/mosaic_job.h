#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "imaging/image.h"
#include "job_state/display_queue.h"
#include "job_state/progress_meter.h"

namespace tessarix {

// The batch state shared by the worker thread, the engine it calls and the window (or command
// line) that polls it. One lock guards the info text, the progress stages, the counters, the
// clock and the display queue; it is held for short copies only. The status text, the
// status-seen flag and the stop request are single words passed between the two threads.
class MosaicJob {
 public:
  MosaicJob() = default;
  MosaicJob(const MosaicJob&) = delete;
  MosaicJob& operator=(const MosaicJob&) = delete;

  // --- engine side (worker thread) ---
  void SetStatus(const std::string& text);  // keeps at most 255 characters, clears status seen
  bool StatusSeen() const { return statusSeen_.load(std::memory_order_relaxed); }
  bool StopRequested() const { return stopRequested_.load(std::memory_order_relaxed); }
  void BeginStage(int stage, double target);  // under the lock
  void EndStage();                            // under the lock
  void AddStageProgress(double n);            // under the lock: the poller clamps the values
  void SetStageProgress(double value);
  void Post(std::optional<Image> image, const std::string& caption);  // under the lock
  void SetInfoText(const std::string& text);                          // under the lock

  // --- batch bookkeeping (driver) ---
  void StartBatch(int total);  // completed 0, total, clock reset and started
  void StopClock();            // adds the running time to the accumulated time
  void ResetProgress();        // ProgressMeter::Reset and one MosaicPercent, under the lock
  void MosaicCompleted();      // completed += 1, under the lock
  void SetRunning(bool running) { running_.store(running); }
  bool IsRunning() const { return running_.load(); }
  void RequestStop() { stopRequested_.store(true); }
  void ClearStop() { stopRequested_.store(false); }
  int Completed() const;

  // --- polled by the window / command line ---
  std::string StatusLine();  // sets status seen
  std::string ProgressLine(double* overall = nullptr);
  std::string InfoText() const;
  std::string Status() const;      // the raw status text
  ProgressMeter Progress() const;  // a copy of the progress record
  std::optional<DisplayQueue::Item> TakeDisplayItem();

 private:
  mutable std::mutex lock_;
  std::string info_;
  mutable std::mutex statusLock_;  // keeps the status string itself race-free
  std::string status_;
  std::atomic<bool> statusSeen_{true};
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> running_{false};
  ProgressMeter progress_;
  int completed_ = 0;
  bool finishedCounted_ = false;  // completed_ counts the mosaic whose 100 % is still in progress_
  int batchTotal_ = 0;
  uint64_t clockStart_ = 0;
  uint64_t accumulated_ = 0;
  bool clockRunning_ = false;
  DisplayQueue queue_;
};

}  // namespace tessarix
