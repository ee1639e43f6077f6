#include "ui/about_dialog.h"

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>

#include "ui/dialog_units.h"
#include "ui/main_template.h"

namespace talvek {

AboutDialog::AboutDialog(QWidget* owner) : QDialog(owner) {
  setWindowTitle(QStringLiteral("About Talvek"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFont(dialogFont());
  const DialogBaseUnits base = baseUnitsOf(font());

  picture_ = new QLabel(this);
  picture_->setObjectName(QStringLiteral("aboutPicture"));
  picture_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  // Larger than its frame, the picture is centred and clipped, not scaled.
  picture_->setAlignment(Qt::AlignCenter);
  picture_->setPixmap(QPixmap(QStringLiteral(":/talvek/about.png")));
  picture_->setGeometry(unitsToPixels(aboutPictureRect(), base));

  auto* line = new QFrame(this);
  line->setObjectName(QStringLiteral("aboutLine"));
  line->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  line->setAutoFillBackground(true);
  QPalette white = line->palette();
  white.setColor(QPalette::Window, Qt::white);
  line->setPalette(white);
  line->setGeometry(unitsToPixels(aboutLineRect(), base));

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setObjectName(QStringLiteral("aboutOk"));
  ok_->setGeometry(unitsToPixels(aboutButtonRect(), base));
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

  const QRect size = unitsToPixels(QRect(QPoint(0, 0), aboutDialogSize()), base);
  setFixedSize(size.size());
}

void AboutDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The button is the box's only tab stop, so it starts with the focus.
  ok_->setFocus(Qt::ActiveWindowFocusReason);
}

}  // namespace talvek
