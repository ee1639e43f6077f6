// talvek-cli's argument parser on any argument vector: no crash, no
// undefined behaviour, a reason for every refusal, the same answer twice.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "fuzz_support.h"

namespace {

// The arguments are the input split at NUL bytes, as the kernel hands them
// over: an argument can never hold a NUL.
std::vector<std::string> splitArguments(const uint8_t* data, size_t size) {
  std::vector<std::string> args;
  if (size == 0) return args;
  std::string current;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  args.push_back(current);
  return args;
}

std::string describe(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& arg : args) text += " " + talvek::fuzz::quoted(arg);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using talvek::fuzz::check;
  const std::vector<std::string> args = splitArguments(data, size);

  talvek::CliOptions options;
  std::string error;
  const bool accepted = talvek::parseCliArguments(args, options, error);
  check(accepted || !error.empty(), "refused without a reason:" + describe(args));

  // Options left over from an earlier parse must not change the answer.
  talvek::CliOptions again = options;
  std::string againError = "stale";
  const bool acceptedAgain = talvek::parseCliArguments(args, again, againError);
  check(acceptedAgain == accepted, "a second parse answers differently:" + describe(args));
  check(accepted || againError == error, "a second parse gives another reason:" + describe(args));
  return 0;
}
