#include "platform/c_random.h"

namespace talvek {
namespace {

CRuntimeRandom& processRandom() {
  static CRuntimeRandom generator;
  return generator;
}

}  // namespace

void seedRandom(uint32_t seed) {
  processRandom().seed(seed);
}

int nextRandom() {
  return processRandom().next();
}

}  // namespace talvek
