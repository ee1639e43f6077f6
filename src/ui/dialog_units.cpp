#include "ui/dialog_units.h"

#include <QFontMetrics>
#include <cstdlib>

namespace talvek {

QFont dialogFont() {
  QFont font(QStringLiteral("Liberation Mono"), 8);
  font.setStyleHint(QFont::TypeWriter);
  return font;
}

DialogBaseUnits baseUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int width = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  // (width / 26 + 1) / 2 is the average over 52 letters, rounded.
  return DialogBaseUnits{(width / 26 + 1) / 2, metrics.height()};
}

int mulDiv(int value, int numerator, int denominator) {
  if (denominator == 0) return -1;
  const long long product = static_cast<long long>(value) * numerator;
  const long long half = std::llabs(static_cast<long long>(denominator)) / 2;
  const bool negative = (product < 0) != (denominator < 0);
  const long long magnitude =
      (std::llabs(product) + half) / std::llabs(static_cast<long long>(denominator));
  return static_cast<int>(negative ? -magnitude : magnitude);
}

int unitsToPixelsX(int units, DialogBaseUnits base) {
  return mulDiv(units, base.x, 4);
}

int unitsToPixelsY(int units, DialogBaseUnits base) {
  return mulDiv(units, base.y, 8);
}

QRect unitsToPixels(const QRect& units, DialogBaseUnits base) {
  return QRect(unitsToPixelsX(units.x(), base), unitsToPixelsY(units.y(), base),
               unitsToPixelsX(units.width(), base), unitsToPixelsY(units.height(), base));
}

}  // namespace talvek
