// The texts, captions and message-box styles the dialog shows.
#pragma once

#include "dialog/window_constants.h"

namespace talvek {

inline constexpr char kWarningCaption[] = "Warning";
// A refusal: exclamation icon, OK only.
inline constexpr unsigned kRefusalStyle = MB_OK | MB_ICONEXCLAMATION;
// A question about replacing a file: Yes and No, No the default.
inline constexpr unsigned kOverwriteQuestionStyle = MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2;

inline constexpr char kPasswordsNotAcceptable[] =
    "<Password #1> and <Password #2> are not acceptable!";
// Followed by the character set's name and "!".
inline constexpr char kPasswordNotConvertible[] = "<Password #1> cannot be converted to ";
inline constexpr char kInvalidKeyFile[] = "Invalid Morva~Key!";
inline constexpr char kInvalidSource[] = "Invalid source!";
inline constexpr char kInvalidDestination[] = "Invalid destination!";
inline constexpr char kDestinationExists[] = "Destination file exists.\nOverwrite it?";
inline constexpr char kKeyFileExists[] = "File exists.\nOverwrite it?";
inline constexpr char kInvalidPath[] = "Invalid path!";
inline constexpr char kNoRandomNumbers[] = "No random numbers are available for a Morva~Key!";

inline constexpr char kNoHelp[] = "No help is available!";
inline constexpr char kNoHelpCaption[] = "Help Is Not Installed";

}  // namespace talvek
