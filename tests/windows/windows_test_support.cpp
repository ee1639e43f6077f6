#include "windows_test_support.h"

#include <aclapi.h>
#include <sddl.h>

#include "temp_dir.h"

namespace talvek::test {

namespace {

// Everyone may read, and the owner (whoever created the file) may do
// anything; cut off from what the directory hands down.
constexpr wchar_t kOwnAccessList[] = L"D:P(A;;FA;;;OW)(A;;FR;;;WD)";

}  // namespace

bool setOwnAccessList(const std::string& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kOwnAccessList, SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
    return false;
  }
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  std::wstring name = widePath(path);
  const DWORD error = ::SetNamedSecurityInfoW(
      name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
      nullptr, nullptr, dacl, nullptr);
  ::LocalFree(descriptor);
  return error == ERROR_SUCCESS;
}

std::string accessListOf(const std::string& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL dacl = nullptr;
  std::wstring name = widePath(path);
  if (::GetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return {};
  }
  wchar_t* text = nullptr;
  std::string list;
  if (::ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
    list = utf8FromWide(text, wcslen(text));
    ::LocalFree(text);
  }
  ::LocalFree(descriptor);
  return list;
}

bool readOnlyAttributeCounts() {
  TempDir dir;
  const std::string path = dir.file("read-only");
  writeFile(path, "x");
  setAttributesOf(path, FILE_ATTRIBUTE_READONLY);
  const HANDLE file =
      ::CreateFileW(widePath(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;
  ::CloseHandle(file);
  return false;
}

}  // namespace talvek::test
