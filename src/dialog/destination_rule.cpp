#include "dialog/destination_rule.h"

#include "job/text_utils.h"

namespace talvek {

std::string destinationForSource(const std::string& source) {
  if (toLowerCopy(fileExtension(source)) == "tc") {
    // The extension is trimmed, so cut at the last ".tc" in any case and
    // drop whatever follows it.
    const size_t cut = toLowerCopy(source).rfind(".tc");
    if (cut != std::string::npos) return source.substr(0, cut);
  }
  return source + ".tc";
}

bool hasEncodedExtension(const std::string& path) {
  return destinationForSource(path) != path + ".tc";
}

}  // namespace talvek
