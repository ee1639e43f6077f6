// The template's heights suit the frames of the desktop it was drawn for; a
// style with wider frames or larger indicators (Adwaita's four-pixel frame)
// would cut off the bottoms of the letters in a field.
#pragma once

#include <QRect>

class QWidget;

namespace talvek {

// The template rectangle of a field or an option button, made as tall as
// the widget's style needs to show its text and indicator whole, grown
// about its middle so that it stays in line with its label. Any other
// widget keeps the template's rectangle.
QRect fittedToStyle(const QWidget& widget, const QRect& templateRect);

}  // namespace talvek
