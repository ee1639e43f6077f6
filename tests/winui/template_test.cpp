// IDD_MAIN as the dialog manager made it: every control's kind, identifier,
// text, place, group and tab-stop flags, edges and edit styles, in template
// order; the dialog's own styles, size and caption; and Tab's way through it.
#include <gtest/gtest.h>

#include <vector>

#include "dialog/resource_ids.h"
#include "window_fixture.h"

namespace talvek::test {
namespace {

enum class Kind { Frame, Label, Edit, Password, Button, Option };

struct Expected {
  int id;
  Kind kind;
  const char* text;
  int x, y, width, height;
  bool group;
  bool tabStop;
};

constexpr int kNone = -1;
// As a dialog's template lays it out, in dialog units.
const Expected kMainTemplate[] = {
    {kNone, Kind::Frame, "", 4, 0, 426, 39, false, false},
    {kNone, Kind::Label, "Source ------>", 9, 10, 57, 9, true, false},
    {kNone, Kind::Label, "Destination ->", 9, 24, 57, 8, true, false},
    {kNone, Kind::Frame, "", 4, 38, 426, 38, false, false},
    {kNone, Kind::Label, "Password #1 ->", 9, 48, 57, 9, true, false},
    {kNone, Kind::Label, "Password #2 ->", 9, 62, 57, 8, true, false},
    {kNone, Kind::Label, "Morva~Key --->", 9, 86, 57, 8, true, false},
    {kNone, Kind::Frame, "", 4, 76, 426, 25, false, false},
    {kNone, Kind::Frame, "", 4, 101, 426, 34, false, false},
    {IDC_SOURCE, Kind::Edit, "", 69, 8, 304, 12, false, true},
    {IDC_BROWSE_SOURCE, Kind::Button, "&Open (F3)", 376, 8, 50, 13, false, true},
    {IDC_DESTINATION, Kind::Edit, "", 69, 22, 304, 12, false, true},
    {IDC_BROWSE_DESTINATION, Kind::Button, "&Save (F4)", 376, 22, 50, 13, false, true},
    {IDC_PASSWORD1, Kind::Password, "", 69, 46, 356, 12, false, true},
    {IDC_PASSWORD2, Kind::Password, "", 69, 60, 356, 12, false, true},
    {IDC_KEY_FILE, Kind::Edit, "", 69, 84, 237, 12, false, true},
    {IDC_GENERATE_KEY, Kind::Button, "&Generate (F5)", 309, 84, 64, 13, false, true},
    {IDC_BROWSE_KEY_FILE, Kind::Button, "Ope&n (F6)", 376, 84, 50, 13, false, true},
    {IDC_USE_PASSWORD, Kind::Option,
     "Use the <&Password> fields presented above to encode the file. Both fields must have the "
     "same password",
     9, 110, 420, 10, false, false},
    {IDC_USE_KEY_FILE, Kind::Option,
     "Use <Morva~&Key> to prevent spyware(Key-Spy APPs) programs from stealing your password! -> "
     "Recommended",
     9, 122, 420, 10, false, false},
    {IDC_ENCODE, Kind::Button, "&Encode (F8)", 221, 139, 68, 16, false, true},
    {IDC_DECODE, Kind::Button, "&Decode (F9)", 292, 139, 68, 16, false, true},
    {IDC_EXIT, Kind::Button, "E&xit (Esc)", 362, 139, 68, 16, false, true},
};

std::wstring className(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

// As the dialog manager places a control: its corner and its size each
// converted on their own.
RECT unitsToPixels(HWND dialog, int x, int y, int width, int height) {
  RECT corner{x, y, x, y};
  ::MapDialogRect(dialog, &corner);
  RECT size{0, 0, width, height};
  ::MapDialogRect(dialog, &size);
  return {corner.left, corner.top, corner.left + size.right, corner.top + size.bottom};
}

using MainTemplateTest = WindowTest;

TEST_F(MainTemplateTest, EveryControlIsTheTemplatesInItsOrder) {
  auto window = openWindow();
  HWND dialog = window->handle();
  std::vector<HWND> children;
  for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  ASSERT_EQ(children.size(), std::size(kMainTemplate));
  for (size_t i = 0; i < children.size(); ++i) {
    const Expected& want = kMainTemplate[i];
    HWND child = children[i];
    SCOPED_TRACE("control #" + std::to_string(i + 1) + " " + want.text);
    const LONG_PTR style = ::GetWindowLongPtrW(child, GWL_STYLE);
    const LONG_PTR extended = ::GetWindowLongPtrW(child, GWL_EXSTYLE);
    EXPECT_EQ(::GetDlgCtrlID(child), want.id);
    EXPECT_EQ(windowText(child), want.text);
    EXPECT_EQ((style & WS_GROUP) != 0, want.group);
    EXPECT_EQ((style & WS_TABSTOP) != 0, want.tabStop);
    EXPECT_TRUE(style & WS_VISIBLE);

    RECT place;
    ::GetWindowRect(child, &place);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    const RECT wanted = unitsToPixels(dialog, want.x, want.y, want.width, want.height);
    EXPECT_EQ(place.left, wanted.left);
    EXPECT_EQ(place.top, wanted.top);
    EXPECT_EQ(place.right, wanted.right);
    EXPECT_EQ(place.bottom, wanted.bottom);

    switch (want.kind) {
      case Kind::Frame:
        EXPECT_EQ(className(child), L"Button");
        EXPECT_EQ(style & BS_TYPEMASK, BS_GROUPBOX);
        break;
      case Kind::Label:
        EXPECT_EQ(className(child), L"Static");
        EXPECT_EQ(style & SS_TYPEMASK, SS_LEFT);
        EXPECT_TRUE(style & SS_CENTERIMAGE);
        break;
      case Kind::Edit:
      case Kind::Password:
        EXPECT_EQ(className(child), L"Edit");
        // A 3-D dialog draws the template's border as a sunken edge.
        EXPECT_TRUE((style & WS_BORDER) || (extended & WS_EX_CLIENTEDGE));
        EXPECT_TRUE(style & ES_AUTOHSCROLL);
        EXPECT_EQ((style & ES_PASSWORD) != 0, want.kind == Kind::Password);
        EXPECT_EQ(::SendMessageW(child, EM_GETPASSWORDCHAR, 0, 0) != 0,
                  want.kind == Kind::Password);
        break;
      case Kind::Button:
        EXPECT_EQ(className(child), L"Button");
        // No default button: Enter in a field is the dialog's OK.
        EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON);
        EXPECT_EQ(style & BS_CENTER, BS_CENTER);
        EXPECT_TRUE(extended & WS_EX_STATICEDGE);
        break;
      case Kind::Option:
        EXPECT_EQ(className(child), L"Button");
        EXPECT_EQ(style & BS_TYPEMASK, BS_AUTORADIOBUTTON);
        EXPECT_EQ(style & BS_CENTER, BS_LEFT);
        EXPECT_EQ(style & BS_VCENTER, BS_VCENTER);
        break;
    }
  }
}

TEST_F(MainTemplateTest, TheDialogHasTheTemplatesFrameMenuAndCaption) {
  auto window = openWindow();
  HWND dialog = window->handle();
  EXPECT_EQ(windowText(dialog), "Talvek v1.0.60");
  const LONG_PTR style = ::GetWindowLongPtrW(dialog, GWL_STYLE);
  const LONG_PTR flags[] = {WS_POPUP,       WS_VISIBLE,    WS_CAPTION, WS_SYSMENU,
                            WS_MINIMIZEBOX, DS_MODALFRAME, DS_3DLOOK};
  for (const LONG_PTR flag : flags) {
    EXPECT_EQ(style & flag, flag) << std::hex << flag;
  }
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  const LONG_PTR extended = ::GetWindowLongPtrW(dialog, GWL_EXSTYLE);
  EXPECT_TRUE(extended & WS_EX_APPWINDOW);
  EXPECT_TRUE(extended & WS_EX_ACCEPTFILES);
  // Courier New 8 points, for the dialog and every control.
  LOGFONTW font{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font,
               &font);
  EXPECT_STREQ(font.lfFaceName, L"Courier New");
  HDC screen = ::GetDC(nullptr);
  EXPECT_EQ(font.lfHeight, -::MulDiv(8, ::GetDeviceCaps(screen, LOGPIXELSY), 72));
  ::ReleaseDC(nullptr, screen);
  RECT client;
  ::GetClientRect(dialog, &client);
  const RECT size = unitsToPixels(dialog, 0, 0, 433, 157);
  EXPECT_EQ(client.right, size.right);
  EXPECT_EQ(client.bottom, size.bottom);

  // The menu's pop-ups and entries, separator included.
  HMENU menu = ::GetMenu(dialog);
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(::GetMenuItemCount(menu), 3);
  const std::vector<std::vector<std::pair<int, std::wstring>>> items = {
      {{ID_FILE_EXIT, L"E&xit\tCtrl+Q"}},
      {{ID_TASK_ENCODE, L"&Encode\tF8"}, {ID_TASK_DECODE, L"&Decode\tF9"}},
      {{ID_HELP_MANUAL, L"&Manual\tF1"}, {0, L""}, {ID_HELP_ABOUT, L"&About..."}},
  };
  const wchar_t* popups[] = {L"&File", L"&Task", L"&Help"};
  for (int p = 0; p < 3; ++p) {
    wchar_t text[64] = {};
    ::GetMenuStringW(menu, static_cast<UINT>(p), text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, popups[p]);
    HMENU popup = ::GetSubMenu(menu, p);
    ASSERT_EQ(::GetMenuItemCount(popup), static_cast<int>(items[static_cast<size_t>(p)].size()));
    for (size_t i = 0; i < items[static_cast<size_t>(p)].size(); ++i) {
      const auto& [command, label] = items[static_cast<size_t>(p)][i];
      EXPECT_EQ(static_cast<int>(::GetMenuItemID(popup, static_cast<int>(i))), command);
      wchar_t entry[64] = {};
      ::GetMenuStringW(popup, static_cast<UINT>(i), entry, 64, MF_BYPOSITION);
      EXPECT_EQ(std::wstring(entry), label);
    }
  }
}

TEST_F(MainTemplateTest, TabPassesTheOptionButtonsByWhicheverIsChecked) {
  auto window = openWindow();
  EXPECT_EQ(::GetFocus(), item(*window, IDC_SOURCE));
  const std::vector<int> order = {
      IDC_SOURCE,          IDC_BROWSE_SOURCE, IDC_DESTINATION, IDC_BROWSE_DESTINATION,
      IDC_PASSWORD1,       IDC_PASSWORD2,     IDC_KEY_FILE,    IDC_GENERATE_KEY,
      IDC_BROWSE_KEY_FILE, IDC_ENCODE,        IDC_DECODE,      IDC_EXIT};
  // Checked by the start, by the program, and by the user's click: the
  // system makes a checked radio button a tab stop each time.
  for (const int checked : {0, IDC_USE_KEY_FILE, IDC_USE_PASSWORD}) {
    SCOPED_TRACE(checked);
    if (checked == IDC_USE_KEY_FILE) window->checkButton(checked);
    if (checked == IDC_USE_PASSWORD) {
      ::SendMessageW(item(*window, checked), BM_CLICK, 0, 0);
      pump(window.get());
    }
    // One option at a time, however it was checked.
    const bool password = checked != IDC_USE_KEY_FILE;
    EXPECT_EQ(window->isChecked(IDC_USE_PASSWORD), password);
    EXPECT_EQ(window->isChecked(IDC_USE_KEY_FILE), !password);
    ::SetFocus(item(*window, IDC_SOURCE));
    std::vector<int> visited;
    for (size_t i = 0; i < order.size(); ++i) {
      visited.push_back(::GetDlgCtrlID(::GetFocus()));
      press(*window, ::GetFocus(), VK_TAB);
    }
    EXPECT_EQ(visited, order);
    EXPECT_EQ(::GetDlgCtrlID(::GetFocus()), IDC_SOURCE);
  }
}

}  // namespace
}  // namespace talvek::test
