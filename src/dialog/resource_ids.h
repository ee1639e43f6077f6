// Identifiers of the dialogs, controls, menu commands and resources, with the
// numbers the window layers and the command table agree on.
#pragma once

namespace talvek {

// Dialog templates.
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_MAIN = 102;

// Icons, pictures, menu, accelerators.
constexpr int IDR_MAINFRAME = 128;
constexpr int IDB_ABOUT = 129;
constexpr int IDR_MAINMENU = 130;
constexpr int IDR_ACCELERATORS = 131;

// Controls of the main dialog.
constexpr int IDC_SOURCE = 1000;
constexpr int IDC_DESTINATION = 1001;
constexpr int IDC_BROWSE_SOURCE = 1002;
constexpr int IDC_BROWSE_DESTINATION = 1003;
constexpr int IDC_PASSWORD1 = 1004;
constexpr int IDC_PASSWORD2 = 1005;
constexpr int IDC_KEY_FILE = 1006;
constexpr int IDC_BROWSE_KEY_FILE = 1007;
constexpr int IDC_GENERATE_KEY = 1008;
constexpr int IDC_USE_PASSWORD = 1009;
constexpr int IDC_USE_KEY_FILE = 1010;
constexpr int IDC_ENCODE = 1011;
constexpr int IDC_DECODE = 1012;
constexpr int IDC_EXIT = 1013;

// Menu commands (also sent by the accelerators).
constexpr int ID_FILE_EXIT = 32771;
constexpr int ID_TASK_ENCODE = 32772;
constexpr int ID_TASK_DECODE = 32773;
constexpr int ID_HELP_MANUAL = 32774;
constexpr int ID_HELP_ABOUT = 32775;

}  // namespace talvek
