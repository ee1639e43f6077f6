// Every code path of BlockTransform against encodeByte/decodeByte applied one
// byte at a time: random key lengths on both sides of the schedule's minimum
// span, random starting positions, buffers cut into random pieces.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/block_transform.h"
#include "codec/byte_transform.h"
#include "fuzz_support.h"

namespace {

using talvek::CodePath;

// Fills bytes the input has no more of from a small generator seeded by it.
struct Filler {
  uint32_t state;
  uint8_t next() {
    state = state * 214013u + 2531011u;
    return static_cast<uint8_t>(state >> 16);
  }
};

std::string context(bool encode, size_t keyLength, uint64_t position, size_t dataLength,
                    CodePath path) {
  return std::string(encode ? "encode" : "decode") + " on " + talvek::codePathName(path) +
         ", key length " + std::to_string(keyLength) + ", position " + std::to_string(position) +
         ", " + std::to_string(dataLength) + " bytes";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using talvek::fuzz::check;
  FuzzedDataProvider input(data, size);
  const bool encode = input.ConsumeBool();
  // Short keys repeat within the 4096-byte minimum span; long ones are the
  // span themselves.
  const size_t keyLength = input.ConsumeBool() ? input.ConsumeIntegralInRange<size_t>(1, 64)
                                               : input.ConsumeIntegralInRange<size_t>(1, 9000);
  const uint64_t position = input.ConsumeBool() ? input.ConsumeIntegralInRange<uint64_t>(0, 20000)
                                                : input.ConsumeIntegral<uint64_t>();
  const size_t dataLength = input.ConsumeIntegralInRange<size_t>(0, 20000);
  std::vector<size_t> cuts;
  for (int i = input.ConsumeIntegralInRange<int>(0, 6); i > 0; --i) {
    cuts.push_back(input.ConsumeIntegralInRange<size_t>(0, dataLength));
  }
  Filler filler{input.ConsumeIntegral<uint32_t>()};

  std::string key = input.ConsumeBytesAsString(keyLength);
  while (key.size() < keyLength) key.push_back(static_cast<char>(filler.next()));
  std::vector<uint8_t> plain = input.ConsumeBytes<uint8_t>(dataLength);
  while (plain.size() < dataLength) plain.push_back(filler.next());

  std::vector<uint8_t> expected(plain);
  for (size_t i = 0; i < dataLength; ++i) {
    const uint64_t at = (position % keyLength + i) % keyLength;
    const auto keyChar = static_cast<int8_t>(key[at]);
    const auto keyPosition = static_cast<uint32_t>(at);
    expected[i] = encode ? talvek::encodeByte(plain[i], keyChar, keyPosition)
                         : talvek::decodeByte(plain[i], keyChar, keyPosition);
  }
  const uint64_t end = (position % keyLength + dataLength % keyLength) % keyLength;

  for (CodePath path : {CodePath::Portable, CodePath::Sse2, CodePath::Avx2}) {
    if (!talvek::codePathSupported(path)) continue;
    const std::string where = context(encode, keyLength, position, dataLength, path);
    const talvek::BlockTransform transform(key, encode, path);
    check(transform.codePath() == path, "the transform runs on another path: " + where);

    // In pieces, each continuing at the position the last one returned.
    std::vector<uint8_t> bytes(plain);
    uint64_t at = position;
    size_t done = 0;
    for (size_t cut : cuts) {
      if (cut < done) continue;
      at = transform.apply(bytes.data() + done, cut - done, at);
      done = cut;
    }
    at = transform.apply(bytes.data() + done, dataLength - done, at);
    check(at == end, "the returned position is " + std::to_string(at) + ", not " +
                         std::to_string(end) + ": " + where);
    for (size_t i = 0; i < dataLength; ++i) {
      if (bytes[i] != expected[i])
        talvek::fuzz::mismatch("byte " + std::to_string(i) + " differs: " + where);
    }

    // The other direction brings the bytes back.
    const talvek::BlockTransform inverse(key, !encode, path);
    inverse.apply(bytes.data(), dataLength, position);
    check(bytes == plain, "the inverse does not restore the bytes: " + where);
  }
  return 0;
}
