#include "winui/file_dialog.h"

#include <commdlg.h>

#include "platform/win32/wide_text.h"

namespace talvek {
namespace {

// Room for a long path, which the dialogs give when asked.
constexpr size_t kNameRoom = 32768;

}  // namespace

std::wstring systemFilter(const std::string& filter) {
  std::wstring wide = wideFromUtf8(filter);
  for (wchar_t& c : wide) {
    if (c == L'|') c = L'\0';
  }
  wide.push_back(L'\0');
  return wide;
}

OPENFILENAMEW fileDialogRequest(HWND owner, const FileDialogSpec& description,
                                const std::wstring& filter, const std::wstring& directory,
                                const std::wstring& extension, std::wstring& name) {
  name = wideFromUtf8(description.initialName);
  name.resize(kNameRoom, L'\0');
  OPENFILENAMEW request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = owner;
  request.lpstrFilter = filter.c_str();
  request.nFilterIndex = 1;
  request.lpstrFile = name.data();
  request.nMaxFile = static_cast<DWORD>(name.size());
  request.lpstrInitialDir = directory.empty() ? nullptr : directory.c_str();
  request.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  // As they are: no overwrite prompt, since the commands ask about an
  // existing file themselves.
  request.Flags = description.flags;
  return request;
}

std::optional<std::string> runFileDialog(HWND owner, bool save, const FileDialogSpec& description) {
  const std::wstring filter = systemFilter(description.filter);
  const std::wstring directory = wideFromUtf8(description.initialDirectory);
  const std::wstring extension = wideFromUtf8(description.defaultExtension);
  std::wstring name;
  OPENFILENAMEW request = fileDialogRequest(owner, description, filter, directory, extension, name);
  const BOOL chosen = save ? ::GetSaveFileNameW(&request) : ::GetOpenFileNameW(&request);
  if (!chosen) return std::nullopt;
  return utf8FromWide(name.c_str(), wcslen(name.c_str()));
}

}  // namespace talvek
