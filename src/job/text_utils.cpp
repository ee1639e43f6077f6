#include "job/text_utils.h"

namespace talvek {
namespace {

constexpr char kWhitespace[] = " \t\r\f\n";
constexpr char kSeparators[] = "\\/";

}  // namespace

void trimWhitespace(std::string& text) {
  const size_t first = text.find_first_not_of(kWhitespace);
  if (first == std::string::npos) {
    text.clear();
    return;
  }
  const size_t last = text.find_last_not_of(kWhitespace);
  text = text.substr(first, last - first + 1);
}

std::string trimmedCopy(std::string text) {
  trimWhitespace(text);
  return text;
}

void toLowerInPlace(std::string& text) {
  // The "C" locale's tolower: only A to Z change.
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
}

std::string toLowerCopy(std::string text) {
  toLowerInPlace(text);
  return text;
}

std::string fileNamePart(const std::string& path) {
  const size_t separator = path.find_last_of(kSeparators);
  std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
  trimWhitespace(name);
  return name;
}

std::string fileExtension(const std::string& path) {
  const std::string name = fileNamePart(path);
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos) return {};
  return trimmedCopy(name.substr(dot + 1));
}

}  // namespace talvek
