// Converts dialog-template units to pixels the way the Windows dialog manager
// does, so the window keeps the layout its template describes.
#pragma once

#include <QFont>
#include <QRect>

namespace talvek {

// Pixels per 4 horizontal and per 8 vertical dialog units.
struct DialogBaseUnits {
  int x = 0;  // average character width of the dialog font
  int y = 0;  // character height of the dialog font
};

// The template's font: Courier New 8 point, for which the metric-compatible
// Liberation Mono stands in.
QFont dialogFont();

// Base units of a font: the rounded average width of "A".."Z" "a".."z" (the
// dialog manager's figure, not QFontMetrics::averageCharWidth) and the height.
DialogBaseUnits baseUnitsOf(const QFont& font);

// value * numerator / denominator, rounded half away from zero (MulDiv).
int mulDiv(int value, int numerator, int denominator);

int unitsToPixelsX(int units, DialogBaseUnits base);
int unitsToPixelsY(int units, DialogBaseUnits base);
// Each of x, y, width and height converted on its own, as controls are made.
QRect unitsToPixels(const QRect& units, DialogBaseUnits base);

}  // namespace talvek
