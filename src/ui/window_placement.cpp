#include "ui/window_placement.h"

#include <algorithm>

namespace talvek {

QPoint centredFramePosition(const QRect& workArea, const QSize& clientSize, const QMargins& frame) {
  const QSize frameSize = clientSize.grownBy(frame);
  const int x = workArea.x() + std::max(0, (workArea.width() - frameSize.width()) / 2);
  const int y = workArea.y() + std::max(0, (workArea.height() - frameSize.height()) / 2);
  return QPoint(x, y);
}

}  // namespace talvek
