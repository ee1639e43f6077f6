// The common open and save dialogs for a FileDialogSpec.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "dialog/window_system.h"

namespace talvek {

// The filter as the common dialogs take it: each '|' a NUL, and one more
// NUL at the end.
std::wstring systemFilter(const std::string& filter);

// The structure for GetOpenFileNameW or GetSaveFileNameW. `filter`,
// `directory`, `extension` and `name` must outlive it; `name` is the buffer
// that receives the choice (the initial name in it).
OPENFILENAMEW fileDialogRequest(HWND owner, const FileDialogSpec& description,
                                const std::wstring& filter, const std::wstring& directory,
                                const std::wstring& extension, std::wstring& name);

// Shows the dialog; the full path chosen, or nullopt when cancelled.
std::optional<std::string> runFileDialog(HWND owner, bool save, const FileDialogSpec& description);

}  // namespace talvek
