// What talvek.exe carries besides the main dialog: the icons in the order
// the shell counts them, the version, the manifest, the About box; and how a
// file dialog is asked for.
#include <windows.h>

#include <commdlg.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog/resource_ids.h"
#include "platform/win32/wide_text.h"
#include "window_fixture.h"
#include "winui/about_box.h"
#include "winui/file_dialog.h"
#include "winui/winui_ids.h"

namespace talvek::test {
namespace {

// talvek.exe's resources, without running it.
class ProgramResources : public ::testing::Test {
 protected:
  ProgramResources()
      : module_(::LoadLibraryExW(wideFromUtf8(TALVEK_APP_PATH).c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
  ~ProgramResources() override {
    if (module_ != nullptr) ::FreeLibrary(module_);
  }
  HMODULE module_;
};

TEST_F(ProgramResources, TheIconsComeInTheOrderTheFileTypesNameThem) {
  ASSERT_NE(module_, nullptr);
  std::vector<int> groups;
  ::EnumResourceNamesW(
      module_, reinterpret_cast<LPCWSTR>(RT_GROUP_ICON),
      [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) -> BOOL {
        if (IS_INTRESOURCE(name)) {
          reinterpret_cast<std::vector<int>*>(found)->push_back(
              static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
        }
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&groups));
  // The program, ",1" encoded files, ",2" key files.
  EXPECT_EQ(groups, (std::vector<int>{IDR_MAINFRAME, IDI_ENCODED_FILE, IDI_KEY_FILE}));
  const UINT icons =
      ::ExtractIconExW(wideFromUtf8(TALVEK_APP_PATH).c_str(), -1, nullptr, nullptr, 0);
  EXPECT_EQ(icons, 3u);
}

TEST_F(ProgramResources, TheVersionNamesTheMakerAndTheProduct) {
  const std::wstring path = wideFromUtf8(TALVEK_APP_PATH);
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(0, 1)));
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, 60)));
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
  const std::pair<const wchar_t*, const char*> strings[] = {
      {L"CompanyName", "Brellam"},
      {L"ProductName", "Talvek"},
      {L"FileDescription", "Data Encoder/Decoder"},
      {L"Comments", "Data Encoder/Decoder"},
      {L"FileVersion", "1.0.60.0"},
      {L"ProductVersion", "1.0.60.0"},
  };
  for (const auto& [name, text] : strings) {
    wchar_t* value = nullptr;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    ASSERT_TRUE(
        ::VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
        << utf8FromWide(name);
    EXPECT_EQ(utf8FromWide(value), text);
  }
}

TEST_F(ProgramResources, TheManifestAsksForWhatTheWindowNeeds) {
  ASSERT_NE(module_, nullptr);
  HRSRC found =
      ::FindResourceW(module_, MAKEINTRESOURCEW(1), reinterpret_cast<LPCWSTR>(RT_MANIFEST));
  ASSERT_NE(found, nullptr);
  const char* bytes = static_cast<const char*>(::LockResource(::LoadResource(module_, found)));
  const std::string manifest(bytes, ::SizeofResource(module_, found));
  for (const char* wanted :
       {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", "level=\"asInvoker\"",
        ">PerMonitorV2", ">true/pm<", "<longPathAware", ">true</longPathAware>",
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"}) {
    EXPECT_NE(manifest.find(wanted), std::string::npos) << wanted;
  }
}

using AboutBoxTest = WindowTest;

TEST_F(AboutBoxTest, ThePictureFitsItsFrameAndTheBoxSitsOverTheDialog) {
  auto window = openWindow();
  HWND box = createAboutBox(::GetModuleHandleW(nullptr), window->handle());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(windowText(box), "About Talvek");
  EXPECT_EQ(::GetWindow(box, GW_OWNER), window->handle());
  HWND ok = ::GetDlgItem(box, IDOK);
  EXPECT_EQ(windowText(ok), "OK");
  EXPECT_EQ(::GetFocus(), ok);

  HWND picture = aboutPicture(box);
  ASSERT_NE(picture, nullptr);
  HBITMAP shown = reinterpret_cast<HBITMAP>(::SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
  ASSERT_NE(shown, nullptr);
  BITMAP size{};
  ::GetObjectW(shown, sizeof size, &size);
  RECT frame;
  ::GetClientRect(picture, &frame);
  EXPECT_LE(size.bmWidth, frame.right);
  EXPECT_LE(size.bmHeight, frame.bottom);
  // Shrunk, if at all, keeping its proportions (300 x 250).
  EXPECT_NEAR(size.bmWidth * 250.0 / 300.0, size.bmHeight, 2.0);

  RECT over, placed;
  ::GetWindowRect(window->handle(), &over);
  ::GetWindowRect(box, &placed);
  EXPECT_NEAR((placed.left + placed.right) / 2, (over.left + over.right) / 2, 1);
  EXPECT_NEAR((placed.top + placed.bottom) / 2, (over.top + over.bottom) / 2, 1);
  ::DestroyWindow(box);
}

TEST(FileDialogRequest, TakesTheRequestAsItIs) {
  const FileDialogSpec description{"Talvek Encoded Files (*.tc)|*.tc|All Files (*.*)|*.*|", "*.tc",
                                   "tc", OFN_HIDEREADONLY, "C:\\Data"};
  const std::wstring filter = systemFilter(description.filter);
  constexpr wchar_t kWanted[] = L"Talvek Encoded Files (*.tc)\0*.tc\0All Files (*.*)\0*.*\0";
  // The literal's own NUL is the last one.
  EXPECT_EQ(filter, std::wstring(kWanted, std::size(kWanted)));
  const std::wstring directory = L"C:\\Data";
  const std::wstring extension = L"tc";
  std::wstring name;
  const OPENFILENAMEW request =
      fileDialogRequest(nullptr, description, filter, directory, extension, name);
  EXPECT_STREQ(request.lpstrFile, L"*.tc");
  EXPECT_GE(request.nMaxFile, 32768u);
  EXPECT_STREQ(request.lpstrDefExt, L"tc");
  EXPECT_STREQ(request.lpstrInitialDir, L"C:\\Data");
  EXPECT_EQ(request.nFilterIndex, 1u);
  // No overwrite prompt: the commands ask themselves.
  EXPECT_EQ(request.Flags, static_cast<DWORD>(OFN_HIDEREADONLY));
}

}  // namespace
}  // namespace talvek::test
