#include "platform/random_name.h"

#include <windows.h>

#include <atomic>

#include "platform/secure_random.h"

namespace talvek {

std::string randomNameSuffix() {
  static constexpr char kAlphabet[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char bytes[6];
  if (!systemRandomBytes(bytes, sizeof bytes)) {
    static std::atomic<unsigned> counter{0};
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    unsigned long long mix = static_cast<unsigned long long>(now.QuadPart) ^
                             (static_cast<unsigned long long>(::GetCurrentProcessId()) << 20) ^
                             ((counter.fetch_add(1) + 1) * 2654435761u);
    for (unsigned char& b : bytes) {
      b = static_cast<unsigned char>(mix);
      mix = mix * 6364136223846793005ull + 1442695040888963407ull;
      mix ^= mix >> 29;
    }
  }
  std::string suffix;
  for (unsigned char b : bytes) suffix += kAlphabet[b % (sizeof kAlphabet - 1)];
  return suffix;
}

}  // namespace talvek
