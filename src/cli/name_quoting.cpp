#include "cli/name_quoting.h"

namespace talvek {

namespace {

// One character at a place in a name: how many bytes it takes and whether
// it may go to a terminal as it is. A byte that starts no valid UTF-8
// sequence is a character of one byte that may not.
struct Character {
  size_t length = 1;
  bool shown = false;
};

bool continuation(unsigned char byte, unsigned char low = 0x80, unsigned char high = 0xBF) {
  return byte >= low && byte <= high;
}

Character characterAt(std::string_view text, size_t at) {
  const auto byte = [&](size_t offset) {
    return at + offset < text.size() ? static_cast<unsigned char>(text[at + offset]) : 0;
  };
  const unsigned char lead = byte(0);
  if (lead < 0x20 || lead == 0x7F) return {1, false};
  if (lead < 0x80) return {1, true};
  // The second byte's range rules out overlong forms, surrogates and
  // anything past U+10FFFF.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {1, false};
  }
  if (!continuation(byte(1), low, high)) return {1, false};
  for (size_t i = 2; i < length; ++i) {
    if (!continuation(byte(i))) return {1, false};
  }
  // U+0080 to U+009F: C2 80 to C2 9F, the C1 controls (0x9B starts an
  // escape sequence on terminals that take them).
  const bool c1Control = lead == 0xC2 && byte(1) <= 0x9F;
  return {length, !c1Control};
}

void appendEscape(std::string& out, unsigned char byte) {
  static constexpr char kLetters[] = "abtnvfr";  // 0x07 to 0x0D
  out += '\\';
  if (byte >= 0x07 && byte <= 0x0D) {
    out += kLetters[byte - 0x07];
    return;
  }
  out += static_cast<char>('0' + (byte >> 6));
  out += static_cast<char>('0' + ((byte >> 3) & 7));
  out += static_cast<char>('0' + (byte & 7));
}

}  // namespace

bool needsQuoting(std::string_view name) {
  for (size_t at = 0; at < name.size();) {
    const Character c = characterAt(name, at);
    if (!c.shown) return true;
    at += c.length;
  }
  return false;
}

std::string shellEscapedName(std::string_view name) {
  if (!needsQuoting(name)) return std::string(name);
  // Where the text written so far stands: outside quotes, inside '...' or
  // inside $'...'.
  enum class State { Bare, Quoted, Escaped } state = State::Bare;
  std::string out;
  for (size_t at = 0; at < name.size();) {
    const Character c = characterAt(name, at);
    const std::string_view bytes = name.substr(at, c.length);
    at += c.length;
    if (!c.shown) {
      if (state == State::Quoted) out += '\'';
      if (state != State::Escaped) out += "$'";
      state = State::Escaped;
      for (const char byte : bytes) appendEscape(out, static_cast<unsigned char>(byte));
    } else if (bytes == "'") {
      if (state != State::Bare) out += '\'';
      out += "\\'";
      state = State::Bare;
    } else {
      if (state == State::Escaped) out += '\'';
      if (state != State::Quoted) out += '\'';
      state = State::Quoted;
      out += bytes;
    }
  }
  if (state != State::Bare) out += '\'';
  return out;
}

std::string quotedName(std::string_view name) {
  return needsQuoting(name) ? shellEscapedName(name) : "'" + std::string(name) + "'";
}

}  // namespace talvek
