#include "ui/style_fit.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

namespace talvek {
namespace {

// The height at which a line edit's text area, as its style lays it out
// inside the frame, holds the line QLineEdit draws: its font's height (at
// least 14 pixels) and a pixel above and below. Less, and it clips the line.
int fieldHeightNeeded(const QLineEdit& edit, int width, int from) {
  QStyleOptionFrame option;
  option.initFrom(&edit);
  option.lineWidth = edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit);
  option.midLineWidth = 0;
  option.state |= QStyle::State_Sunken;
  const int line = std::max(edit.fontMetrics().height(), 14) + 2;
  const QMargins margins = edit.textMargins();
  // Frames are a few pixels: a line and twice the widest frame is the most
  // any style could want.
  const int most = line + margins.top() + margins.bottom() + 4 * std::max(option.lineWidth, 4);
  for (int height = from; height < most; ++height) {
    option.rect = QRect(0, 0, width, height);
    const QRect text = edit.style()->subElementRect(QStyle::SE_LineEditContents, &option, &edit);
    if (text.height() - margins.top() - margins.bottom() >= line) return height;
  }
  return most;
}

}  // namespace

QRect fittedToStyle(const QWidget& widget, const QRect& templateRect) {
  int needed = templateRect.height();
  if (const auto* edit = qobject_cast<const QLineEdit*>(&widget)) {
    needed = fieldHeightNeeded(*edit, templateRect.width(), templateRect.height());
  } else if (qobject_cast<const QRadioButton*>(&widget) != nullptr) {
    const int indicator = widget.style()->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight, nullptr,
                                                      &widget);
    needed = std::max({needed, indicator, widget.fontMetrics().height()});
  }
  if (needed <= templateRect.height()) return templateRect;
  const int grown = needed - templateRect.height();
  return templateRect.adjusted(0, -(grown / 2), 0, grown - grown / 2);
}

}  // namespace talvek
