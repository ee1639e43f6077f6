// window_texts.exe [--enabled] CAPTION: prints the texts of the controls of
// the visible window with that caption, one a line in UTF-8, for a script
// that drives talvek.exe and must read what a box says. Exit status 1 when
// there is no such window; with --enabled, 3 while it takes no input (a job
// runs under it).
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/win32/wide_text.h"

namespace {

struct Search {
  std::wstring caption;
  HWND found = nullptr;
};

BOOL CALLBACK findWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  wchar_t text[256] = {};
  ::GetWindowTextW(window, text, 256);
  if (!::IsWindowVisible(window) || search->caption != text) return TRUE;
  search->found = window;
  return FALSE;
}

BOOL CALLBACK printText(HWND control, LPARAM) {
  const int length = ::GetWindowTextLengthW(control);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = ::GetWindowTextW(control, text.data(), length + 1);
  if (got > 0)
    std::printf("%s\n", talvek::utf8FromWide(text.data(), static_cast<size_t>(got)).c_str());
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const bool enabled = argc == 3 && std::wstring(argv[1]) == L"--enabled";
  if (argc != 2 && !enabled) return 2;
  Search search{argv[argc - 1]};
  ::EnumWindows(findWindow, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) return 1;
  if (enabled && !::IsWindowEnabled(search.found)) return 3;
  ::EnumChildWindows(search.found, printText, 0);
  return 0;
}
