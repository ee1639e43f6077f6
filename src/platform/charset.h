// Converts text between character sets, named as iconv names them ("UTF-8",
// "WINDOWS-1252", ...): a password typed here may have to become the bytes
// it had on a system with another code page.
#pragma once

#include <string>

namespace talvek {

enum class CharsetConversion {
  Done,
  UnknownCharset,    // this system cannot convert between the two sets
  NotRepresentable,  // a character has no form in the target set, or the
                     // text is not valid in the set it is said to be in
};

// The character set of the user's locale (LC_ALL, LC_CTYPE, LANG), as
// nl_langinfo names it: "UTF-8", or "ANSI_X3.4-1968" for the C locale. The
// process's own locale is neither read nor changed.
std::string localeCharset();

// Whether this system converts from `from` to `to`.
bool charsetConversionAvailable(const std::string& from, const std::string& to);

// Converts the whole of `text`; `converted` holds the result only on Done.
// Nothing is transliterated or dropped unless a name asks for it.
CharsetConversion convertCharset(const std::string& text, const std::string& from,
                                 const std::string& to, std::string& converted);

}  // namespace talvek
