#include "platform/charset.h"

#include <windows.h>

#include <cctype>
#include <optional>

namespace talvek {
namespace {

// Code pages by the names iconv gives them, for the sets users name.
struct NamedCodePage {
  const char* name;
  UINT codePage;
};
constexpr NamedCodePage kNamedCodePages[] = {
    {"UTF8", CP_UTF8},  {"ANSIX3.41968", 20127}, {"ASCII", 20127},
    {"USASCII", 20127}, {"LATIN1", 28591},       {"KOI8R", 20866},
    {"KOI8U", 21866},   {"SHIFTJIS", 932},       {"SJIS", 932},
    {"GBK", 936},       {"GB2312", 936},         {"BIG5", 950},
    {"EUCJP", 20932},   {"EUCKR", 51949},        {"MACINTOSH", 10000},
};

// "windows-1252", "CP1252", "1252", "ISO-8859-5", "UTF-8", "koi8-r": what
// the system calls the set, or nothing for a set it has no code page for.
std::optional<UINT> codePageNamed(const std::string& name) {
  std::string key;
  for (const char c : name) {
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '.') {
      key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
  }
  const auto number = [](const std::string& digits) -> std::optional<UINT> {
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    UINT value = 0;
    for (const char c : digits) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
      value = value * 10 + static_cast<UINT>(c - '0');
    }
    return value;
  };
  std::optional<UINT> codePage;
  for (const NamedCodePage& named : kNamedCodePages) {
    if (key == named.name) codePage = named.codePage;
  }
  for (const char* prefix : {"WINDOWS", "CP", "IBM", ""}) {
    const std::string start = prefix;
    if (!codePage && key.rfind(start, 0) == 0) codePage = number(key.substr(start.size()));
  }
  if (!codePage && key.rfind("ISO8859", 0) == 0) {
    const std::optional<UINT> part = number(key.substr(7));
    if (part && *part >= 1 && *part <= 15) codePage = 28590 + *part;
  }
  // UTF-16 and UTF-32 are not multi-byte code pages to the conversions.
  if (!codePage || *codePage == 1200 || *codePage == 1201 || *codePage == 12000 ||
      *codePage == 12001 || !::IsValidCodePage(*codePage)) {
    return std::nullopt;
  }
  return codePage;
}

// Code pages whose conversions take no flags at all.
bool takesNoFlags(UINT codePage) {
  return codePage == 42 || codePage == CP_UTF7 || (codePage >= 50220 && codePage <= 50229) ||
         (codePage >= 57002 && codePage <= 57011);
}

}  // namespace

std::string localeCharset() {
  const UINT codePage = ::GetACP();
  return codePage == CP_UTF8 ? "UTF-8" : "CP" + std::to_string(codePage);
}

bool charsetConversionAvailable(const std::string& from, const std::string& to) {
  return codePageNamed(from).has_value() && codePageNamed(to).has_value();
}

CharsetConversion convertCharset(const std::string& text, const std::string& from,
                                 const std::string& to, std::string& converted) {
  const std::optional<UINT> source = codePageNamed(from);
  const std::optional<UINT> target = codePageNamed(to);
  if (!source || !target) return CharsetConversion::UnknownCharset;
  if (text.empty()) {
    converted.clear();
    return CharsetConversion::Done;
  }
  const int length = static_cast<int>(text.size());
  const DWORD toWideFlags = takesNoFlags(*source) ? 0 : MB_ERR_INVALID_CHARS;
  const int wideSize = ::MultiByteToWideChar(*source, toWideFlags, text.data(), length, nullptr, 0);
  if (wideSize <= 0) return CharsetConversion::NotRepresentable;
  std::wstring wide(static_cast<size_t>(wideSize), L'\0');
  ::MultiByteToWideChar(*source, toWideFlags, text.data(), length, wide.data(), wideSize);

  // UTF-8 has a form for everything but a lone surrogate; the others say
  // when they fell back on their default character (no best fit: "ā" must
  // not become "a").
  const bool utf8 = *target == CP_UTF8;
  const DWORD fromWideFlags =
      utf8 ? WC_ERR_INVALID_CHARS : (takesNoFlags(*target) ? 0 : WC_NO_BEST_FIT_CHARS);
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultAt = utf8 || takesNoFlags(*target) ? nullptr : &usedDefault;
  const int size = ::WideCharToMultiByte(*target, fromWideFlags, wide.data(), wideSize, nullptr, 0,
                                         nullptr, usedDefaultAt);
  if (size <= 0 || usedDefault) return CharsetConversion::NotRepresentable;
  std::string out(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(*target, fromWideFlags, wide.data(), wideSize, out.data(), size, nullptr,
                        usedDefaultAt);
  if (usedDefault) return CharsetConversion::NotRepresentable;
  converted = std::move(out);
  return CharsetConversion::Done;
}

}  // namespace talvek
