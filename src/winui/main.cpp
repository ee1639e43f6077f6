// talvek.exe: the Windows program, one dialog.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/executable_path.h"
#include "platform/win32/wide_text.h"
#include "settings/options_store.h"
#include "settings/registry_access.h"
#include "winui/encoder_app.h"
#include "winui/registry_options.h"

int WINAPI wWinMain(HINSTANCE module, HINSTANCE, PWSTR, int) {
  // The arguments as the C runtime parsed the command line, quotes removed.
  std::vector<std::string> arguments;
  for (int i = 0; i < __argc; ++i) arguments.push_back(talvek::utf8FromWide(__wargv[i]));

  // The file dialogs and the shell's opener want COM on this thread.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);

  talvek::RegistryAccess registry(talvek::defaultRegistryLocation());
  talvek::OptionsStore store(registry, arguments.empty() ? std::string() : arguments.front());
  talvek::RegistryOptions options(store);
  talvek::EncoderApp app(module, arguments, &options, talvek::executableDirectory());
  const int status = app.run();
  if (SUCCEEDED(com)) ::CoUninitialize();
  return status;
}
