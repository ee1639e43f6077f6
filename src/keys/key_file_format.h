// The Morva~Key file format: n bytes of printable ASCII (the space included),
// 2 <= n <= 32767, with no header, no line break and no terminator. The
// generator guarantees it; the reader accepts any file of two characters.
#pragma once

namespace talvek {

constexpr int kMinKeyFileLength = 2;
constexpr int kMaxKeyFileLength = 32767;
constexpr int kFirstKeyFileByte = 32;
constexpr int kLastKeyFileByte = 126;

}  // namespace talvek
