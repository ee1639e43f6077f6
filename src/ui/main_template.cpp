#include "ui/main_template.h"

#include <array>

#include "dialog/resource_ids.h"

namespace talvek {
namespace {

using K = ControlKind;

constexpr std::array<TemplateControl, 23> kMain = {{
    {kNoControl, K::GroupBox, "", 4, 0, 426, 39},
    {kNoControl, K::Label, "Source ------>", 9, 10, 57, 9},
    {kNoControl, K::Label, "Destination ->", 9, 24, 57, 8},
    {kNoControl, K::GroupBox, "", 4, 38, 426, 38},
    {kNoControl, K::Label, "Password #1 ->", 9, 48, 57, 9},
    {kNoControl, K::Label, "Password #2 ->", 9, 62, 57, 8},
    {kNoControl, K::Label, "Morva~Key --->", 9, 86, 57, 8},
    {kNoControl, K::GroupBox, "", 4, 76, 426, 25},
    {kNoControl, K::GroupBox, "", 4, 101, 426, 34},
    {IDC_SOURCE, K::Edit, "", 69, 8, 304, 12},
    {IDC_BROWSE_SOURCE, K::PushButton, "&Open (F3)", 376, 8, 50, 13},
    {IDC_DESTINATION, K::Edit, "", 69, 22, 304, 12},
    {IDC_BROWSE_DESTINATION, K::PushButton, "&Save (F4)", 376, 22, 50, 13},
    {IDC_PASSWORD1, K::PasswordEdit, "", 69, 46, 356, 12},
    {IDC_PASSWORD2, K::PasswordEdit, "", 69, 60, 356, 12},
    {IDC_KEY_FILE, K::Edit, "", 69, 84, 237, 12},
    {IDC_GENERATE_KEY, K::PushButton, "&Generate (F5)", 309, 84, 64, 13},
    {IDC_BROWSE_KEY_FILE, K::PushButton, "Ope&n (F6)", 376, 84, 50, 13},
    {IDC_USE_PASSWORD, K::RadioButton,
     "Use the <&Password> fields presented above to encode the file. Both fields must have the "
     "same password",
     9, 110, 420, 10},
    {IDC_USE_KEY_FILE, K::RadioButton,
     "Use <Morva~&Key> to prevent spyware(Key-Spy APPs) programs from stealing your password! -> "
     "Recommended",
     9, 122, 420, 10},
    {IDC_ENCODE, K::PushButton, "&Encode (F8)", 221, 139, 68, 16},
    {IDC_DECODE, K::PushButton, "&Decode (F9)", 292, 139, 68, 16},
    {IDC_EXIT, K::PushButton, "E&xit (Esc)", 362, 139, 68, 16},
}};

constexpr std::array<FieldLabel, 5> kFieldLabels = {{
    {"Source ------>", IDC_SOURCE, "Source"},
    {"Destination ->", IDC_DESTINATION, "Destination"},
    {"Password #1 ->", IDC_PASSWORD1, "Password #1"},
    {"Password #2 ->", IDC_PASSWORD2, "Password #2"},
    {"Morva~Key --->", IDC_KEY_FILE, "Morva~Key"},
}};

constexpr std::array<MenuEntry, 6> kMenu = {{
    {"&File", "E&xit\tCtrl+Q", ID_FILE_EXIT},
    {"&Task", "&Encode\tF8", ID_TASK_ENCODE},
    {"&Task", "&Decode\tF9", ID_TASK_DECODE},
    {"&Help", "&Manual\tF1", ID_HELP_MANUAL},
    {"&Help", nullptr, 0},
    {"&Help", "&About...", ID_HELP_ABOUT},
}};

const std::array<Accelerator, 8> kAccelerators = {{
    {QKeyCombination(Qt::Key_F1), ID_HELP_MANUAL},
    {QKeyCombination(Qt::ControlModifier, Qt::Key_Q), ID_FILE_EXIT},
    {QKeyCombination(Qt::Key_F8), ID_TASK_ENCODE},
    {QKeyCombination(Qt::Key_F9), ID_TASK_DECODE},
    {QKeyCombination(Qt::Key_F3), IDC_BROWSE_SOURCE},
    {QKeyCombination(Qt::Key_F4), IDC_BROWSE_DESTINATION},
    {QKeyCombination(Qt::Key_F5), IDC_GENERATE_KEY},
    {QKeyCombination(Qt::Key_F6), IDC_BROWSE_KEY_FILE},
}};

}  // namespace

std::span<const TemplateControl> mainTemplate() {
  return kMain;
}

std::span<const FieldLabel> fieldLabels() {
  return kFieldLabels;
}

QSize mainDialogSize() {
  return QSize(433, 157);
}

std::span<const MenuEntry> mainMenu() {
  return kMenu;
}

std::span<const Accelerator> acceleratorTable() {
  return kAccelerators;
}

int acceleratorCommand(QKeyCombination key) {
  // Virtual-key accelerators without Shift or Alt match only those exact
  // modifiers; keypad state does not matter.
  const QKeyCombination plain(key.keyboardModifiers() & ~Qt::KeypadModifier, key.key());
  for (const Accelerator& entry : kAccelerators) {
    if (entry.key == plain) return entry.command;
  }
  return 0;
}

QSize aboutDialogSize() {
  return QSize(173, 167);
}

QRect aboutPictureRect() {
  return QRect(1, 1, 171, 144);
}

QRect aboutLineRect() {
  return QRect(1, 147, 171, 1);
}

QRect aboutButtonRect() {
  return QRect((173 - 50) / 2, 150, 50, 14);
}

}  // namespace talvek
