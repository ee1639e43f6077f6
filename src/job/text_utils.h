// Small string helpers on narrow byte strings: trimming, ASCII lower-casing,
// and the file-name part and extension of a path. None touches a file.
#pragma once

#include <string>

namespace talvek {

// Removes leading and trailing " \t\r\f\n" (not vertical tab).
void trimWhitespace(std::string& text);
std::string trimmedCopy(std::string text);

// Lower-cases A to Z only; every other byte stays.
void toLowerInPlace(std::string& text);
std::string toLowerCopy(std::string text);

// The text after the last '\\' or '/', trimmed.
std::string fileNamePart(const std::string& path);
// The text after the last '.' of fileNamePart, trimmed; "" without a dot.
std::string fileExtension(const std::string& path);

}  // namespace talvek
