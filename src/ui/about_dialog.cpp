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
  picture_->setAlignment(Qt::AlignCenter);
  picture_->setGeometry(unitsToPixels(aboutPictureRect(), base));
  // With this font the frame is lower than the picture: shrink the picture
  // to fit rather than cut off its top and bottom.
  const QPixmap art(QStringLiteral(":/talvek/about.png"));
  const QSize room = picture_->contentsRect().size();
  const bool fits = art.width() <= room.width() && art.height() <= room.height();
  picture_->setPixmap(fits ? art : art.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  artSize_ = art.size();

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
