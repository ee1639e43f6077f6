#include "ui/job_runner.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <exception>
#include <memory>
#include <thread>

#include "dialog/job_progress_meter.h"
#include "ui/input_blocker.h"
#include "ui/progress_dialog.h"

namespace talvek {
namespace {

// How often the box is brought up to date: smooth enough for the bar.
constexpr int kRefreshMilliseconds = 100;

// While the box is up, its Cancel must look clickable: the wait cursor
// becomes the busy one (an arrow with the wait sign), and back.
void useBusyCursor(bool busy) {
  const QCursor* cursor = QApplication::overrideCursor();
  if (cursor == nullptr) return;
  const Qt::CursorShape from = busy ? Qt::WaitCursor : Qt::BusyCursor;
  if (cursor->shape() == from) {
    QApplication::changeOverrideCursor(busy ? Qt::BusyCursor : Qt::WaitCursor);
  }
}

}  // namespace

bool runJobInBackground(QWidget* owner, const JobView& job, const JobWork& work) {
  std::atomic<uint64_t> done{0};
  std::atomic<uint64_t> total{0};
  std::atomic<bool> stop{false};
  bool result = false;
  std::exception_ptr thrown;

  InputBlocker blocker;
  QEventLoop loop;
  std::thread worker([&] {
    try {
      result = work([&](uint64_t doneNow, uint64_t totalNow) {
        total.store(totalNow, std::memory_order_relaxed);
        done.store(doneNow, std::memory_order_relaxed);
        return !stop.load(std::memory_order_relaxed);
      });
    } catch (...) {
      thrown = std::current_exception();
    }
    QMetaObject::invokeMethod(
        &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });

  JobProgressMeter meter(job);
  std::unique_ptr<JobProgressDialog> box;
  QElapsedTimer clock;
  clock.start();
  QTimer refresh;
  QObject::connect(&refresh, &QTimer::timeout, &loop, [&] {
    meter.record(std::chrono::milliseconds(clock.elapsed()), done.load(std::memory_order_relaxed),
                 total.load(std::memory_order_relaxed));
    if (box == nullptr && meter.progressDue()) {
      box = std::make_unique<JobProgressDialog>(owner);
      QObject::connect(box.get(), &JobProgressDialog::stopRequested, &loop, [&] {
        stop.store(true, std::memory_order_relaxed);
        meter.stopRequested();
        box->showProgress(meter);
      });
      box->showProgress(meter);
      blocker.allow(box.get());
      useBusyCursor(true);
      box->show();
    } else if (box != nullptr) {
      box->showProgress(meter);
    }
  });
  refresh.start(kRefreshMilliseconds);
  loop.exec();
  worker.join();
  refresh.stop();
  if (box != nullptr) {
    box->hide();
    useBusyCursor(false);
  }
  blocker.allow(nullptr);
  blocker.discardPending();
  box.reset();
  if (thrown) std::rethrow_exception(thrown);
  return result;
}

}  // namespace talvek
