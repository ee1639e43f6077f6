// The program's icon in every size the resources hold.
#pragma once

#include <QIcon>

namespace talvek {

QIcon programIcon();

}  // namespace talvek
