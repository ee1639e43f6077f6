#include "ui/message_box.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QGridLayout>
#include <QList>
#include <QSpacerItem>

#include "dialog/window_constants.h"

namespace talvek {
namespace {

constexpr unsigned kTypeMask = 0x0F;
constexpr unsigned kIconMask = 0xF0;
constexpr unsigned kDefaultMask = 0xF00;

struct Choice {
  QMessageBox::StandardButton button;
  int answer;
};

QList<Choice> choicesFor(unsigned type) {
  using B = QMessageBox;
  switch (type) {
    case 1:  // MB_OKCANCEL
      return {{B::Ok, IDOK}, {B::Cancel, IDCANCEL}};
    case 3:  // MB_YESNOCANCEL
      return {{B::Yes, IDYES}, {B::No, IDNO}, {B::Cancel, IDCANCEL}};
    case 4:  // MB_YESNO
      return {{B::Yes, IDYES}, {B::No, IDNO}};
    default:  // MB_OK and anything this program never asks for
      return {{B::Ok, IDOK}};
  }
}

QMessageBox::Icon iconFor(unsigned icon) {
  switch (icon) {
    case 0x10:
      return QMessageBox::Critical;
    case 0x20:
      return QMessageBox::Question;
    case 0x30:
      return QMessageBox::Warning;
    case 0x40:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

}  // namespace

std::unique_ptr<QMessageBox> makeMessageBox(QWidget* owner, const QString& text,
                                            const QString& caption, unsigned flags) {
  auto box = std::make_unique<QMessageBox>(owner);
  box->setWindowTitle(caption);
  box->setText(text);
  box->setTextFormat(Qt::PlainText);
  box->setIcon(iconFor(flags & kIconMask));
  const QList<Choice> choices = choicesFor(flags & kTypeMask);
  for (const Choice& choice : choices) box->addButton(choice.button);
  const qsizetype defaultIndex = static_cast<qsizetype>((flags & kDefaultMask) >> 8);
  const Choice& byDefault = choices.value(defaultIndex < choices.size() ? defaultIndex : 0);
  box->setDefaultButton(byDefault.button);
  // A row of its own across the box, as wide as the caption needs.
  if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
    grid->addItem(new QSpacerItem(captionRoom(caption, box->font()), 0, QSizePolicy::Fixed,
                                  QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  return box;
}

int captionRoom(const QString& caption, const QFont& font) {
  QFont bold = font;
  bold.setBold(true);
  const QFontMetrics metrics(bold);
  // An eighth more for a title font a little larger than the dialog's; the
  // icon and three buttons take about a line height each, with margins.
  return metrics.horizontalAdvance(caption) * 9 / 8 + 6 * metrics.height();
}

int messageBoxAnswer(const QMessageBox& box) {
  QAbstractButton* clicked = box.clickedButton();
  if (clicked == nullptr) clicked = box.escapeButton();
  // Closed without an answer: the most cautious one.
  for (auto fallback : {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Ok}) {
    if (clicked == nullptr) clicked = box.button(fallback);
  }
  const QMessageBox::StandardButton button = box.standardButton(clicked);
  switch (button) {
    case QMessageBox::Yes:
      return IDYES;
    case QMessageBox::No:
      return IDNO;
    case QMessageBox::Cancel:
      return IDCANCEL;
    default:
      return IDOK;
  }
}

}  // namespace talvek
