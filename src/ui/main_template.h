// The main dialog's controls, menu and accelerator keys, and the About box's
// layout, as data. Positions are in dialog units; the window converts them.
#pragma once

#include <QKeyCombination>
#include <QRect>
#include <QSize>
#include <span>

namespace talvek {

// A control that sends no command and is never looked up.
inline constexpr int kNoControl = -1;

enum class ControlKind { GroupBox, Label, Edit, PasswordEdit, PushButton, RadioButton };

struct TemplateControl {
  int id;  // kNoControl for frames and labels
  ControlKind kind;
  const char* text;
  int x, y, width, height;

  QRect rect() const { return QRect(x, y, width, height); }
};

// IDD_MAIN's controls in template order, which is also the tab order.
std::span<const TemplateControl> mainTemplate();
// The field each label names, and what a screen reader calls that field.
struct FieldLabel {
  const char* label;  // the label's text in mainTemplate()
  int field;
  const char* accessibleName;
};
std::span<const FieldLabel> fieldLabels();

// The client area of IDD_MAIN, below the menu bar.
QSize mainDialogSize();
inline constexpr const char* kMainCaption = "Talvek v1.0.60";

// One entry of IDR_MAINMENU; a null text is a separator.
struct MenuEntry {
  const char* popup;
  const char* text;  // "\t" separates the shortcut shown at the right
  int command;
};
std::span<const MenuEntry> mainMenu();

// IDR_ACCELERATORS, in table order.
struct Accelerator {
  QKeyCombination key;
  int command;
};
std::span<const Accelerator> acceleratorTable();
// The command of a key, or 0 when the key is no accelerator.
int acceleratorCommand(QKeyCombination key);

// IDD_ABOUTBOX.
QSize aboutDialogSize();
QRect aboutPictureRect();
QRect aboutLineRect();
// The template leaves the button's place open: centred below the line.
QRect aboutButtonRect();

}  // namespace talvek
