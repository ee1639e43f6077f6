// prepareKeyText against the literal preparation, which rotates one bit at a
// time and recomputes every bound, on any key text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "codec/key_text.h"
#include "fuzz_support.h"
#include "literal_key_text.h"

namespace {

// The literal preparation is quadratic. Texts this long already reach every
// branch: the look-up table from offset 136 on, pairs past index 664 that
// are never mixed.
constexpr size_t kLongestText = 2048;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using talvek::fuzz::check;
  const std::string key(reinterpret_cast<const char*>(data), std::min(size, kLongestText));
  const std::string prepared = talvek::prepareKeyText(key);
  const std::string literal = talvek::test::literalPrepareKeyText(key);
  if (prepared != literal) {
    talvek::fuzz::mismatch("prepareKeyText differs from the literal preparation for " +
                           talvek::fuzz::quoted(key) + ": " + talvek::fuzz::quoted(prepared) +
                           " against " + talvek::fuzz::quoted(literal));
  }
  const size_t expected = std::max<size_t>(2, key.size() + key.size() % 2);
  check(prepared.size() == expected, "prepared length " + std::to_string(prepared.size()) +
                                         " for a text of " + std::to_string(key.size()));
  return 0;
}
