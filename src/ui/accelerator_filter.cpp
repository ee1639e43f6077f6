#include "ui/accelerator_filter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "ui/encoder_window.h"
#include "ui/main_template.h"

namespace talvek {

AcceleratorFilter::AcceleratorFilter(EncoderWindow* window, QObject* parent)
    : QObject(parent), window_(window) {}

bool AcceleratorFilter::keyIsForWindow(QObject* watched) const {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || window_ == nullptr || widget->window() != window_) return false;
  QWidget* modal = QApplication::activeModalWidget();
  if (modal != nullptr && modal != window_) return false;
  return QApplication::activePopupWidget() == nullptr;
}

bool AcceleratorFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  const int command = acceleratorCommand(key->keyCombination());
  if (command == 0 || !keyIsForWindow(watched)) return false;
  // A command already running (its box is open) keeps the key from
  // starting a second one; the key is spent either way.
  window_->runCommand(command);
  return true;
}

}  // namespace talvek
