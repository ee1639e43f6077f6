#include "winui/job_runner.h"

#include <exception>
#include <thread>

#include "winui/progress_box.h"

namespace talvek {
namespace {

// How often the box is brought up to date: smooth enough for the bar.
constexpr DWORD kRefreshMilliseconds = 100;

bool isInside(HWND window, HWND container) {
  return container != nullptr && (window == container || ::IsChild(container, window));
}

// Throws away the input that came while the job ran: nothing the user did
// meanwhile acts after it.
void discardPendingInput() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
  }
  while (::PeekMessageW(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
  }
}

}  // namespace

bool isUserInput(const MSG& message) {
  const UINT id = message.message;
  return (id >= WM_KEYFIRST && id <= WM_KEYLAST) || (id >= WM_MOUSEFIRST && id <= WM_MOUSELAST) ||
         (id >= WM_NCMOUSEMOVE && id <= WM_NCMBUTTONDBLCLK) || id == WM_NCXBUTTONDOWN ||
         id == WM_NCXBUTTONUP || id == WM_NCXBUTTONDBLCLK;
}

BackgroundJob::BackgroundJob(HINSTANCE module, HWND owner, const JobView& job, const JobWork& work)
    : module_(module), owner_(owner), work_(work), meter_(job) {}

BackgroundJob::~BackgroundJob() {
  if (finished_ != nullptr) ::CloseHandle(finished_);
}

HWND BackgroundJob::progressBox() const {
  return box_ != nullptr ? box_->handle() : nullptr;
}

bool BackgroundJob::run() {
  finished_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (finished_ == nullptr) return work_([this](uint64_t, uint64_t) { return !stop_.load(); });

  HWND focus = ::GetFocus();
  const bool wasEnabled = !::EnableWindow(owner_, FALSE);
  start_ = std::chrono::steady_clock::now();
  bool result = false;
  std::exception_ptr thrown;
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
    ::SetEvent(finished_);
  });

  bool quit = false;
  auto lastRefresh = std::chrono::steady_clock::now();
  for (;;) {
    const DWORD woke =
        ::MsgWaitForMultipleObjectsEx(1, &finished_, kRefreshMilliseconds, QS_ALLINPUT, 0);
    if (woke == WAIT_OBJECT_0) break;
    if (!quit && !pumpMessages()) quit = true;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastRefresh >= std::chrono::milliseconds(kRefreshMilliseconds)) {
      lastRefresh = now;
      refresh();
    }
  }
  worker.join();

  discardPendingInput();
  if (wasEnabled) ::EnableWindow(owner_, TRUE);
  box_.reset();
  if (focus != nullptr && ::IsWindow(focus)) ::SetFocus(focus);
  if (quit) ::PostQuitMessage(0);
  if (thrown) std::rethrow_exception(thrown);
  return result;
}

bool BackgroundJob::pumpMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) return false;
    HWND box = progressBox();
    if (isUserInput(message) && !isInside(message.hwnd, box)) continue;
    if (box != nullptr && ::IsDialogMessageW(box, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return true;
}

void BackgroundJob::stop() {
  if (stop_.exchange(true, std::memory_order_relaxed)) return;
  meter_.stopRequested();
  if (box_ != nullptr) {
    box_->showStopping();
    box_->showProgress(meter_);
  }
}

void BackgroundJob::stopAndWait(std::chrono::milliseconds limit) {
  stop();
  if (finished_ != nullptr) ::WaitForSingleObject(finished_, static_cast<DWORD>(limit.count()));
}

void BackgroundJob::refresh() {
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start_);
  meter_.record(elapsed, done_.load(std::memory_order_relaxed),
                total_.load(std::memory_order_relaxed));
  if (box_ != nullptr) {
    box_->showProgress(meter_);
    return;
  }
  if (!meter_.progressDue()) return;
  box_ = std::make_unique<ProgressBox>(module_, owner_, [this] { stop(); });
  if (stop_.load(std::memory_order_relaxed)) box_->showStopping();
  box_->showProgress(meter_);
  box_->show();
}

}  // namespace talvek
