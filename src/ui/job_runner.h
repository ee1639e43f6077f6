// Runs one job on a thread of its own. The window keeps painting but takes
// no input meanwhile; a job that takes a while shows its progress in a box
// over the window, whose Cancel stops it.
#pragma once

#include <QElapsedTimer>
#include <atomic>
#include <cstdint>
#include <memory>

#include "dialog/job_progress_meter.h"
#include "dialog/window_system.h"

class QEventLoop;
class QWidget;

namespace talvek {

class InputBlocker;
class JobProgressDialog;

class BackgroundJob {
 public:
  // `owner` is the window the progress box belongs to.
  BackgroundJob(QWidget* owner, const JobView& job, const JobWork& work);
  ~BackgroundJob();
  BackgroundJob(const BackgroundJob&) = delete;
  BackgroundJob& operator=(const BackgroundJob&) = delete;

  // Runs the job and returns its result once it has ended; what the job
  // throws comes out here. Once per object.
  bool run();

  // Asks the running job to stop, as the box's Cancel does: a stop signal.
  // On the window's thread, while run() runs.
  void stop();

 private:
  // Brings the box up once it is due, and up to date; the box is the one
  // window that takes input meanwhile.
  void refresh(InputBlocker& blocker);

  QWidget* owner_;
  const JobWork& work_;
  JobProgressMeter meter_;
  QElapsedTimer clock_;
  std::unique_ptr<JobProgressDialog> box_;
  // Shared with the job's thread.
  std::atomic<uint64_t> done_{0};
  std::atomic<uint64_t> total_{0};
  std::atomic<bool> stop_{false};
};

}  // namespace talvek
