#include "ui/job_runner.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QTimer>
#include <exception>
#include <thread>

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

BackgroundJob::BackgroundJob(QWidget* owner, const JobView& job, const JobWork& work)
    : owner_(owner), work_(work), meter_(job) {}

BackgroundJob::~BackgroundJob() = default;

bool BackgroundJob::run() {
  bool result = false;
  std::exception_ptr thrown;
  InputBlocker blocker;
  QEventLoop loop;
  clock_.start();
  std::thread worker([&] {
    try {
      result = work_([this](uint64_t doneNow, uint64_t totalNow) {
        total_.store(totalNow, std::memory_order_relaxed);
        done_.store(doneNow, std::memory_order_relaxed);
        return !stop_.load(std::memory_order_relaxed);
      });
    } catch (...) {
      thrown = std::current_exception();
    }
    // By name: the call is then made up entirely inside Qt, and the window's
    // thread reads what the job wrote only after join().
    QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
  });

  QTimer refreshing;
  QObject::connect(&refreshing, &QTimer::timeout, &loop, [&] { refresh(blocker); });
  refreshing.start(kRefreshMilliseconds);
  loop.exec();
  worker.join();
  refreshing.stop();
  if (box_ != nullptr) {
    box_->hide();
    useBusyCursor(false);
  }
  blocker.allow(nullptr);
  blocker.discardPending();
  box_.reset();
  if (thrown) std::rethrow_exception(thrown);
  return result;
}

void BackgroundJob::stop() {
  if (stop_.exchange(true, std::memory_order_relaxed)) return;
  meter_.stopRequested();
  if (box_ != nullptr) {
    box_->showStopping();
    box_->showProgress(meter_);
  }
}

void BackgroundJob::refresh(InputBlocker& blocker) {
  meter_.record(std::chrono::milliseconds(clock_.elapsed()), done_.load(std::memory_order_relaxed),
                total_.load(std::memory_order_relaxed));
  if (box_ != nullptr) {
    box_->showProgress(meter_);
    return;
  }
  if (!meter_.progressDue()) return;
  box_ = std::make_unique<JobProgressDialog>(owner_);
  QObject::connect(box_.get(), &JobProgressDialog::stopRequested, box_.get(), [this] { stop(); });
  if (stop_.load(std::memory_order_relaxed)) box_->showStopping();
  box_->showProgress(meter_);
  blocker.allow(box_.get());
  useBusyCursor(true);
  box_->show();
}

}  // namespace talvek
