#include "windows_names.h"

#include "dialog/window_constants.h"
#include "settings/registry_codes.h"

namespace talvek::test {

NamedNumbers ourNumbers() { return {TALVEK_WINDOWS_NAMES(TALVEK_OUR_NUMBER)}; }

}  // namespace talvek::test
