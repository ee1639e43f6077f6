// talvek-cli.exe: encodes, decodes and makes key files from the command line.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "platform/win32/wide_text.h"

namespace {

UINT savedOutputPage = 0;

void restoreOutputPage() {
  if (savedOutputPage != 0) ::SetConsoleOutputCP(savedOutputPage);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Messages are UTF-8, as every text of the program; the console shows them
  // so while the program runs, and gets its own page back after.
  savedOutputPage = ::GetConsoleOutputCP();
  if (savedOutputPage != 0 && ::SetConsoleOutputCP(CP_UTF8)) std::atexit(restoreOutputPage);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(talvek::utf8FromWide(argv[i]));
  const int status = talvek::runCli(args);
  restoreOutputPage();
  return status;
}
