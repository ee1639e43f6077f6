// Identifiers of the Windows window's own resources, beside the shared ones
// in dialog/resource_ids.h: the file types' icons and the progress box.
// Written as there, one `constexpr int NAME = number;` a line, so that the
// resource script gets the same numbers (resource_header.cmake).
#pragma once

namespace talvek {

// The shell shows encoded files and key files with these icon groups, the
// program's second and third (",1" and ",2" after its path).
constexpr int IDI_ENCODED_FILE = 132;
constexpr int IDI_KEY_FILE = 133;

// The box a long job shows, and its controls; its Cancel is IDCANCEL.
constexpr int IDD_PROGRESS = 104;
constexpr int IDC_PROGRESS_FILE = 1100;
constexpr int IDC_PROGRESS_BAR = 1101;
constexpr int IDC_PROGRESS_PERCENT = 1102;
constexpr int IDC_PROGRESS_SPEED = 1103;
constexpr int IDC_PROGRESS_TIME_LEFT = 1104;

}  // namespace talvek
