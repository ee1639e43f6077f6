#include "dialog/start_up.h"

namespace talvek {

std::string commandLineFileFromArguments(int argc, const char* const* argv) {
  if (argc != 2 || argv == nullptr || argv[1] == nullptr) return {};
  return argv[1];
}

}  // namespace talvek
