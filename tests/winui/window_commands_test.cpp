// The WindowSystem over the Win32 dialog, driven by the messages a user's
// keys and drops make: texts in and out, the accelerators
// before the fields, Enter and Esc, dropped files, the manual.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "dialog/dialog_texts.h"
#include "dialog/resource_ids.h"
#include "platform/win32/wide_text.h"
#include "temp_dir.h"
#include "window_fixture.h"

namespace talvek::test {
namespace {

using WindowCommandsTest = WindowTest;

TEST_F(WindowCommandsTest, FieldsGiveBackWhatTheyWereGivenInUtf8) {
  auto window = openWindow();
  // Letters beyond any one code page, and a character outside the BMP.
  const std::string text = "C:\\Dat\xC3\xA4n\\\xD0\x96\xE6\x96\x87 \xF0\x9F\x94\x91.tc";
  for (const int id : {IDC_SOURCE, IDC_DESTINATION, IDC_PASSWORD1, IDC_PASSWORD2, IDC_KEY_FILE}) {
    window->setControlText(id, text);
    EXPECT_EQ(window->controlText(id), text) << id;
    EXPECT_EQ(windowText(item(*window, id)), text) << id;
  }
}

// What each accelerator does, pressed in a password field: the key reaches
// the command, not the field.
struct AcceleratorCase;

class AcceleratorTest : public WindowTest, public ::testing::WithParamInterface<AcceleratorCase> {
 public:
  // So that the parameterised cases can reach the fixture's records.
  std::vector<ShownBox>& boxes() { return shown; }
  std::vector<AskedFileDialog>& dialogs() { return fileDialogs; }
};

struct AcceleratorCase {
  const char* name;
  UINT key;
  bool control;
  std::function<void(AcceleratorTest&, EncoderWindow&)> check;
};

void expectBox(AcceleratorTest& self, const char* text, const char* caption, unsigned flags) {
  ASSERT_EQ(self.boxes().size(), 1u);
  EXPECT_EQ(self.boxes()[0].text, text);
  EXPECT_EQ(self.boxes()[0].caption, caption);
  EXPECT_EQ(self.boxes()[0].flags, flags);
}

void expectRefusal(AcceleratorTest& self, const char* text) {
  expectBox(self, text, "Warning", MB_OK | MB_ICONEXCLAMATION);
}

void expectFileDialog(AcceleratorTest& self, bool save, const char* filter, const char* name,
                      const char* extension) {
  ASSERT_EQ(self.dialogs().size(), 1u);
  const AskedFileDialog& asked = self.dialogs()[0];
  EXPECT_EQ(asked.save, save);
  EXPECT_EQ(asked.description.filter, filter);
  EXPECT_EQ(asked.description.initialName, name);
  EXPECT_EQ(asked.description.defaultExtension, extension);
  EXPECT_EQ(asked.description.flags & 0x2u, 0u) << "OFN_OVERWRITEPROMPT";
}

const AcceleratorCase kAccelerators[] = {
    {"F8Encodes", VK_F8, false,
     [](AcceleratorTest& t, EncoderWindow&) { expectRefusal(t, kPasswordsNotAcceptable); }},
    {"F9Decodes", VK_F9, false,
     [](AcceleratorTest& t, EncoderWindow&) { expectRefusal(t, kPasswordsNotAcceptable); }},
    {"F3OpensTheSource", VK_F3, false,
     [](AcceleratorTest& t, EncoderWindow&) {
       expectFileDialog(t, false, "All Files (*.*)|*.*|Talvek Encoded Files (*.tc)|*.tc|", "*.*",
                        "");
     }},
    {"F4SavesTheDestination", VK_F4, false,
     [](AcceleratorTest& t, EncoderWindow&) {
       expectFileDialog(t, true, "Talvek Encoded Files (*.tc)|*.tc|All Files (*.*)|*.*|", "*.tc",
                        "tc");
     }},
    {"F5GeneratesAKeyFile", VK_F5, false,
     [](AcceleratorTest& t, EncoderWindow&) {
       expectFileDialog(t, true, "Morva~Key Files (*.mk)|*.mk|All Files (*.*)|*.*|", "*.mk", "mk");
     }},
    {"F6OpensTheKeyFile", VK_F6, false,
     [](AcceleratorTest& t, EncoderWindow&) {
       expectFileDialog(t, false, "All Files (*.*)|*.*|Morva~Key Files (*.mk)|*.mk|", "*.*", "");
     }},
    {"F1OpensTheManual", VK_F1, false,
     [](AcceleratorTest& t, EncoderWindow&) {
       // No manual in the test's directory.
       expectBox(t, kNoHelp, kNoHelpCaption, MB_OK | MB_ICONHAND);
     }},
    {"CtrlQExits", 'Q', true,
     [](AcceleratorTest&, EncoderWindow& window) {
       EXPECT_TRUE(window.ended());
       EXPECT_EQ(window.result(), IDCANCEL);
     }},
};

TEST_P(AcceleratorTest, ActsBeforeTheField) {
  TempDir home;
  auto window = openWindow(DialogEnvironment{nullptr, home.path(), ""});
  window->setControlText(IDC_PASSWORD1, "secret");
  HWND field = item(*window, IDC_PASSWORD1);
  ::SetFocus(field);
  press(*window, field, GetParam().key, GetParam().control);
  GetParam().check(*this, *window);
  EXPECT_EQ(window->controlText(IDC_PASSWORD1), "secret");
}

INSTANTIATE_TEST_SUITE_P(Keys, AcceleratorTest, ::testing::ValuesIn(kAccelerators),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowCommandsTest, EnterInAFieldEscAndTheCloseBoxCloseTheDialog) {
  for (const auto& [key, result] : {std::pair{VK_RETURN, IDOK}, std::pair{VK_ESCAPE, IDCANCEL}}) {
    auto window = openWindow();
    HWND field = item(*window, IDC_DESTINATION);
    ::SetFocus(field);
    press(*window, field, key);
    EXPECT_TRUE(window->ended()) << key;
    EXPECT_EQ(window->result(), result) << key;
  }
  auto window = openWindow();
  ::SendMessageW(window->handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  pump(window.get());
  EXPECT_TRUE(window->ended());
  EXPECT_EQ(window->result(), IDCANCEL);
}

TEST_F(WindowCommandsTest, EnterOnTheEncodeButtonEncodes) {
  auto window = openWindow();
  HWND button = item(*window, IDC_ENCODE);
  // As Tab moves the focus: the dialog manager makes the button the one
  // Enter presses.
  ::SendMessageW(window->handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(button), TRUE);
  ASSERT_EQ(::GetFocus(), button);
  press(*window, button, VK_RETURN);
  EXPECT_FALSE(window->ended());
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, kPasswordsNotAcceptable);
}

TEST_F(WindowCommandsTest, TheManualBesideTheProgramGoesToTheOpener) {
  TempDir home;
  writeFile(home.file("Manual.html"), "<html></html>");
  auto window = openWindow(DialogEnvironment{nullptr, home.path(), ""});
  ::SendMessageW(window->handle(), WM_COMMAND, ID_HELP_MANUAL, 0);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(absolutePathOf(opened[0]), absolutePathOf(home.file("Manual.html")));
  EXPECT_TRUE(shown.empty());

  openSucceeds = false;
  ::SendMessageW(window->handle(), WM_COMMAND, ID_HELP_MANUAL, 0);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, kNoHelp);
}

TEST_F(WindowCommandsTest, AboutComesFromTheHelpMenu) {
  auto window = openWindow();
  ::SendMessageW(window->handle(), WM_COMMAND, ID_HELP_ABOUT, 0);
  EXPECT_EQ(aboutShown, 1);
}

TEST_F(WindowCommandsTest, AChosenSourceProposesItsDestination) {
  TempDir home;
  fileAnswer = home.file("report.doc.tc");
  auto window = openWindow();
  ::SendMessageW(window->handle(), WM_COMMAND, IDC_BROWSE_SOURCE, 0);
  EXPECT_EQ(window->controlText(IDC_SOURCE), home.file("report.doc.tc"));
  EXPECT_EQ(window->controlText(IDC_DESTINATION), home.file("report.doc"));
}

TEST_F(WindowCommandsTest, EachFileDialogOpensInTheFolderItsFieldNames) {
  TempDir home;
  // As Windows writes a path: backslashes only.
  const std::string inside = absolutePathOf(home.file("not-there-yet.bin"));
  const std::pair<int, int> dialogs[] = {{IDC_BROWSE_SOURCE, IDC_SOURCE},
                                         {IDC_BROWSE_DESTINATION, IDC_DESTINATION},
                                         {IDC_BROWSE_KEY_FILE, IDC_KEY_FILE},
                                         {IDC_GENERATE_KEY, IDC_KEY_FILE}};
  auto window = openWindow();
  for (const auto& [command, field] : dialogs) {
    window->setControlText(field, inside);
    fileDialogs.clear();
    ::SendMessageW(window->handle(), WM_COMMAND, static_cast<WPARAM>(command), 0);
    ASSERT_EQ(fileDialogs.size(), 1u) << command;
    EXPECT_EQ(absolutePathOf(fileDialogs[0].description.initialDirectory),
              absolutePathOf(home.path()))
        << command;
  }
}

// A drop as the shell hands it over: a DROPFILES block with the wide names,
// each ended by a NUL, and one NUL more.
HGLOBAL dropBlock(const std::vector<std::string>& paths) {
  std::wstring names;
  for (const std::string& path : paths) names += wideFromUtf8(absolutePathOf(path)) + L'\0';
  names += L'\0';
  const size_t size = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  auto* drop = static_cast<DROPFILES*>(::GlobalLock(block));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(),
              names.size() * sizeof(wchar_t));
  ::GlobalUnlock(block);
  return block;
}

TEST_F(WindowCommandsTest, ADroppedFileBecomesTheSourceAndAFolderChangesNothing) {
  TempDir home;
  writeFile(home.file("first.txt"), "1");
  writeFile(home.file("second.tc"), "2");
  auto window = openWindow();
  ::PostMessageW(
      window->handle(), WM_DROPFILES,
      reinterpret_cast<WPARAM>(dropBlock({home.file("first.txt"), home.file("second.tc")})), 0);
  pump(window.get());
  EXPECT_EQ(window->controlText(IDC_SOURCE), absolutePathOf(home.file("first.txt")));
  EXPECT_EQ(window->controlText(IDC_DESTINATION), absolutePathOf(home.file("first.txt")) + ".tc");

  ::PostMessageW(window->handle(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(dropBlock({home.path(), home.file("second.tc")})), 0);
  pump(window.get());
  EXPECT_EQ(window->controlText(IDC_SOURCE), absolutePathOf(home.file("first.txt")));
}

TEST_F(WindowCommandsTest, TheWaitCursorShowsUntilRestored) {
  auto window = openWindow();
  HCURSOR wait = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT));
  window->beginWaitCursor();
  EXPECT_EQ(::GetCursor(), wait);
  // The window keeps it whatever the mouse does over it.
  ::SendMessageW(window->handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(window->handle()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(::GetCursor(), wait);
  window->restoreCursor();
  ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
  ::SendMessageW(window->handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(window->handle()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_NE(::GetCursor(), wait);
}

}  // namespace
}  // namespace talvek::test
