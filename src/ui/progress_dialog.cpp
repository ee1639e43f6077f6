#include "ui/progress_dialog.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialog/job_progress_meter.h"
#include "ui/path_text.h"

namespace talvek {

JobProgressDialog::JobProgressDialog(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("jobProgress"));
  // A caption and the close box only: nothing to minimise or maximise.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setWindowModality(Qt::WindowModal);

  file_ = new QLabel(this);
  file_->setTextFormat(Qt::PlainText);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 1000);
  bar_->setTextVisible(true);
  speed_ = new QLabel(this);
  timeLeft_ = new QLabel(this);
  timeLeft_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setAutoDefault(true);
  cancel_->setDefault(true);
  connect(cancel_, &QPushButton::clicked, this, &JobProgressDialog::reject);

  auto* figures = new QHBoxLayout;
  figures->addWidget(speed_);
  figures->addStretch(1);
  figures->addWidget(timeLeft_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(file_);
  layout->addWidget(bar_);
  layout->addLayout(figures);
  layout->addSpacing(fontMetrics().height() / 2);
  layout->addLayout(buttons);
  // Wide enough for a long name and every figure, whatever they say.
  const int width = fontMetrics().horizontalAdvance(QLatin1Char('x')) * 48;
  file_->setFixedWidth(width);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void JobProgressDialog::showProgress(const JobProgressMeter& meter) {
  setWindowTitle(QString::fromStdString(meter.caption()));
  const QString name = pathText(meter.fileText());
  if (name != fileName_) {
    fileName_ = name;
    file_->setText(file_->fontMetrics().elidedText(name, Qt::ElideMiddle, file_->width()));
    file_->setToolTip(name);
  }
  bar_->setValue(meter.permille());
  bar_->setFormat(QString::fromStdString(meter.percentText()));
  speed_->setText(QString::fromStdString(meter.speedText()));
  timeLeft_->setText(QString::fromStdString(meter.timeLeftText()));
}

void JobProgressDialog::showStopping() {
  cancel_->setEnabled(false);
}

void JobProgressDialog::reject() {
  if (!cancel_->isEnabled()) return;
  showStopping();
  emit stopRequested();
}

}  // namespace talvek
