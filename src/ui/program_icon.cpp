#include "ui/program_icon.h"

namespace talvek {

QIcon programIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 256}) {
    icon.addFile(QStringLiteral(":/talvek/icons/talvek-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

}  // namespace talvek
