// Where a window goes on the screen: centred in the work area (the screen
// without panels and docks), its frame included.
#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace talvek {

// The top-left corner of the frame around a client area of `clientSize`
// with `frame` margins, centred in `workArea`; a window larger than the work
// area keeps its caption in it, at the work area's top-left.
QPoint centredFramePosition(const QRect& workArea, const QSize& clientSize, const QMargins& frame);

}  // namespace talvek
