// Runs one job on a thread of its own while the window's thread goes on
// painting: the main dialog is disabled and its input dropped, not kept for
// later; a job still running after a moment shows the progress box, the one
// window that takes input meanwhile, whose Cancel stops the job.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

#include "dialog/job_progress_meter.h"
#include "dialog/window_system.h"

namespace talvek {

class ProgressBox;

class BackgroundJob {
 public:
  // `owner` is the main dialog; `module` holds IDD_PROGRESS.
  BackgroundJob(HINSTANCE module, HWND owner, const JobView& job, const JobWork& work);
  ~BackgroundJob();
  BackgroundJob(const BackgroundJob&) = delete;
  BackgroundJob& operator=(const BackgroundJob&) = delete;

  // Runs the job and returns its result once it has ended; what the job
  // throws comes out here. Once per object.
  bool run();

  // Asks the job to stop, as Cancel does. On the window's thread.
  void stop();
  // Stops the job and waits until it has ended, at most `limit`: the
  // session is ending and the job must leave no file behind.
  void stopAndWait(std::chrono::milliseconds limit);

  // The progress box, once it is up; null before.
  HWND progressBox() const;

 private:
  // Brings the box up once it is due, and up to date.
  void refresh();
  // Dispatches what has come, dropping input that is not for the box.
  // False on WM_QUIT, which is put back for the main loop.
  bool pumpMessages();

  HINSTANCE module_;
  HWND owner_;
  const JobWork& work_;
  JobProgressMeter meter_;
  std::chrono::steady_clock::time_point start_;
  std::unique_ptr<ProgressBox> box_;
  HANDLE finished_ = nullptr;
  bool stopped_ = false;
  // Shared with the job's thread.
  std::atomic<uint64_t> done_{0};
  std::atomic<uint64_t> total_{0};
  std::atomic<bool> stop_{false};
};

// Whether a message is the user's input: keys and the mouse.
bool isUserInput(const MSG& message);

}  // namespace talvek
