// The box a long job shows over the main window: the file, a bar with the
// share done, the speed, the time left, and Cancel. Esc and the close box
// are Cancel too. It only shows what a JobProgressMeter says.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace talvek {

class JobProgressMeter;

class JobProgressDialog : public QDialog {
  Q_OBJECT

 public:
  explicit JobProgressDialog(QWidget* owner);

  void showProgress(const JobProgressMeter& meter);
  // The stop has been asked for, here or from outside: Cancel has done its part.
  void showStopping();

  QPushButton* cancelButton() const { return cancel_; }
  QLabel* fileLabel() const { return file_; }
  QProgressBar* bar() const { return bar_; }
  QLabel* timeLeftLabel() const { return timeLeft_; }

  // Esc and the close box ask for the stop; the box stays until the job ends.
  void reject() override;

 signals:
  // Once, when the user asks the job to stop.
  void stopRequested();

 private:
  QLabel* file_;
  QProgressBar* bar_;
  QLabel* speed_;
  QLabel* timeLeft_;
  QPushButton* cancel_;
  QString fileName_;
};

}  // namespace talvek
