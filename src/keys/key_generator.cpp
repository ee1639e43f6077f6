#include "keys/key_generator.h"

#include "keys/key_file_format.h"

namespace talvek {

std::optional<std::string> generateKeyText(UniformRandom& random) {
  uint32_t extra;
  if (!random.below(kMaxKeyFileLength - kMinKeyFileLength + 1, extra)) return std::nullopt;
  const size_t length = kMinKeyFileLength + extra;
  std::string text(length, '\0');
  for (char& c : text) {
    uint32_t offset;
    if (!random.below(kLastKeyFileByte - kFirstKeyFileByte + 1, offset)) return std::nullopt;
    c = static_cast<char>(kFirstKeyFileByte + offset);
  }
  return text;
}

std::optional<std::string> generateKeyText() {
  UniformRandom random;
  return generateKeyText(random);
}

}  // namespace talvek
