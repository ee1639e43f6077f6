#include "platform/user_dirs.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <vector>

#include "platform/win32/wide_text.h"

namespace talvek {
namespace {

// Windows' own form of an absolute path: a drive and its root, or a share.
bool isAbsolute(std::string_view path) {
  const bool drive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  const bool share = path.size() >= 2 && (path[0] == '\\' || path[0] == '/') &&
                     (path[1] == '\\' || path[1] == '/');
  return drive || share;
}

// The process's environment, not the C runtime's copy of it, so that a
// change made through SetEnvironmentVariableW counts.
std::string environmentPath(const wchar_t* name) {
  std::vector<wchar_t> buffer(1024);
  for (;;) {
    const DWORD length =
        ::GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      std::string value = utf8FromWide(buffer.data(), length);
      return isAbsolute(value) ? value : std::string();
    }
    buffer.resize(length);
  }
}

std::string knownFolder(REFKNOWNFOLDERID id) {
  wchar_t* path = nullptr;
  std::string result;
  if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)) && path != nullptr) {
    result = utf8FromWide(path, wcslen(path));
  }
  ::CoTaskMemFree(path);
  return result;
}

// The variable the system sets for the folder, which tests may point
// elsewhere, else the folder the shell knows.
std::string folder(const wchar_t* variable, REFKNOWNFOLDERID id) {
  std::string path = environmentPath(variable);
  return path.empty() ? knownFolder(id) : path;
}

}  // namespace

std::string userHomeDirectory() {
  return folder(L"USERPROFILE", FOLDERID_Profile);
}

std::string configHome() {
  return folder(L"APPDATA", FOLDERID_RoamingAppData);
}

std::string dataHome() {
  return folder(L"APPDATA", FOLDERID_RoamingAppData);
}

std::string stateHome() {
  // What stays on this machine and is no setting.
  return folder(L"LOCALAPPDATA", FOLDERID_LocalAppData);
}

std::vector<std::string> dataDirs() {
  std::vector<std::string> dirs;
  if (std::string common = folder(L"ProgramData", FOLDERID_ProgramData); !common.empty()) {
    dirs.push_back(std::move(common));
  }
  return dirs;
}

std::vector<std::string> splitSearchPath(std::string_view list) {
  // Windows separates the directories of such lists with semicolons.
  std::vector<std::string> dirs;
  for (;;) {
    const std::size_t semicolon = list.find(';');
    const std::string_view dir = list.substr(0, semicolon);
    if (isAbsolute(dir)) dirs.emplace_back(dir);
    if (semicolon == std::string_view::npos) return dirs;
    list.remove_prefix(semicolon + 1);
  }
}

}  // namespace talvek
