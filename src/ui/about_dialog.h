// The About box: the program's picture above a line and an OK button.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace talvek {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* owner = nullptr);

  QLabel* picture() const { return picture_; }
  QPushButton* okButton() const { return ok_; }
  // The picture as drawn, before any shrinking to fit its frame.
  QSize artSize() const { return artSize_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* picture_;
  QPushButton* ok_;
  QSize artSize_;
};

}  // namespace talvek
