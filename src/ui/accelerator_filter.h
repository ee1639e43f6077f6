// The accelerator hook: F1, Ctrl+Q, F3 to F6, F8 and F9 become the main
// dialog's commands before the focused control sees the key.
#pragma once

#include <QObject>
#include <QPointer>

namespace talvek {

class EncoderWindow;

// Installed on the application, so it sees every key first.
class AcceleratorFilter : public QObject {
  Q_OBJECT

 public:
  explicit AcceleratorFilter(EncoderWindow* window, QObject* parent = nullptr);

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Only keys meant for the main dialog itself count: not those for a
  // message box, file dialog, About box or open menu in front of it.
  bool keyIsForWindow(QObject* watched) const;

  QPointer<EncoderWindow> window_;
};

}  // namespace talvek
