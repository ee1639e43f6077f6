// How talvek-cli writes file names (and other given words) into its
// messages: a name whose control characters or stray bytes would act on the
// terminal, or fake a line of output, is quoted as a shell would read it
// back; any other name is written as it is.
#pragma once

#include <string>
#include <string_view>

namespace talvek {

// Whether `name` holds a control character (a byte below 0x20, DEL, or a C1
// control U+0080 to U+009F in UTF-8) or bytes that are not valid UTF-8.
bool needsQuoting(std::string_view name);

// `name` unchanged unless needsQuoting; then in the shell's quoting, as
// `ls --quoting-style=shell-escape` writes it but without empty '' pieces:
// runs of other characters in '...', a single quote as \', and each run of
// control or invalid bytes as $'...' with \a \b \t \n \v \f \r or three
// octal digits (\033, \377). E.g. "q/x\nWarning: " gives 'q/x'$'\n''Warning: '.
std::string shellEscapedName(std::string_view name);

// For talvek-cli's own messages, which put names in single quotes:
// 'name' when it needs no quoting (as messages always showed it, single
// quotes inside included), else shellEscapedName, which carries its own.
std::string quotedName(std::string_view name);

}  // namespace talvek
