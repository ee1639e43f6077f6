#include "platform/charset.h"

#include <errno.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

namespace talvek {

namespace {

// An iconv descriptor, closed when it goes out of scope.
class Converter {
 public:
  Converter(const std::string& from, const std::string& to)
      : cd_(::iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (valid()) ::iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

}  // namespace

std::string localeCharset() {
  locale_t locale = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
  // A locale the environment names but the system lacks counts as "C".
  if (locale == static_cast<locale_t>(nullptr)) {
    locale = ::newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
  }
  if (locale == static_cast<locale_t>(nullptr)) return "ANSI_X3.4-1968";
  std::string name = ::nl_langinfo_l(CODESET, locale);
  ::freelocale(locale);
  return name;
}

bool charsetConversionAvailable(const std::string& from, const std::string& to) {
  return Converter(from, to).valid();
}

CharsetConversion convertCharset(const std::string& text, const std::string& from,
                                 const std::string& to, std::string& converted) {
  Converter converter(from, to);
  if (!converter.valid()) return CharsetConversion::UnknownCharset;
  // Room for the widest sets (four bytes a character, and a byte-order mark);
  // grown if a set needs more.
  std::string out(text.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  size_t used = 0;
  for (bool flushing = false;;) {
    char* next = out.data() + used;
    size_t outLeft = out.size() - used;
    // A final call without input ends a set that shifts between states.
    const size_t result = flushing ? ::iconv(converter.get(), nullptr, nullptr, &next, &outLeft)
                                   : ::iconv(converter.get(), &in, &inLeft, &next, &outLeft);
    used = static_cast<size_t>(next - out.data());
    if (result != static_cast<size_t>(-1)) {
      if (flushing) break;
      flushing = true;
      continue;
    }
    if (errno != E2BIG) return CharsetConversion::NotRepresentable;
    out.resize(out.size() * 2);
  }
  out.resize(used);
  converted = std::move(out);
  return CharsetConversion::Done;
}

}  // namespace talvek
