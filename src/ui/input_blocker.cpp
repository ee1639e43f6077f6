#include "ui/input_blocker.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <QWindow>

namespace talvek {
namespace {

bool isUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      return true;
    default:
      return false;
  }
}

}  // namespace

InputBlocker::InputBlocker() {
  // Installed last, it sees events before the accelerator hook does.
  qApp->installEventFilter(this);
}

InputBlocker::~InputBlocker() {
  qApp->removeEventFilter(this);
}

void InputBlocker::discardPending() {
  // A round trip to the window system brings in everything the user did
  // until now; it is delivered, and dropped here, before blocking ends.
  QGuiApplication::sync();
}

bool InputBlocker::isAllowed(QObject* watched) const {
  if (allowed_ == nullptr) return false;
  if (watched->isWidgetType()) return static_cast<QWidget*>(watched)->window() == allowed_;
  if (watched->isWindowType()) return watched == allowed_->windowHandle();
  return false;
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
  // The close box and Alt+F4 arrive as a close from the window system.
  const bool input =
      isUserInput(event->type()) || (event->type() == QEvent::Close && event->spontaneous());
  return input && !isAllowed(watched);
}

bool waitWithoutInput(const std::function<bool()>& done, std::chrono::milliseconds limit,
                      std::chrono::milliseconds poll) {
  if (done()) return true;
  InputBlocker blocker;
  QEventLoop loop;
  QElapsedTimer clock;
  clock.start();
  bool finished = false;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
    finished = done();
    if (finished || clock.elapsed() >= limit.count()) loop.quit();
  });
  timer.start(static_cast<int>(poll.count()));
  loop.exec();
  timer.stop();
  blocker.discardPending();
  return finished;
}

}  // namespace talvek
