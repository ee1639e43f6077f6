#include "cli/job_done_line.h"

#include <cstdio>
#include <iterator>

#include "platform/file.h"

namespace talvek {

std::string sizeText(uint64_t bytes) {
  if (bytes < 1000) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  static const char* const kUnits[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
  double value = static_cast<double>(bytes) / 1000;
  size_t unit = 0;
  // 999.96 kB would print as 1000.0 kB: the next unit takes it.
  while (value >= 999.95 && unit + 1 < std::size(kUnits)) {
    value /= 1000;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string jobDoneLine(bool encode, const std::string& source, const std::string& destination,
                        uint64_t size, const std::string& type) {
  std::string line = std::string(encode ? "Encoded " : "Decoded ") + source + " to " +
                     destination + ", " + sizeText(size);
  if (!type.empty()) line += ": " + type;
  return line;
}

std::string writtenFileLine(bool encode, const std::string& shownSource,
                            const std::string& destination, const std::string& shownDestination,
                            FileTypeGuesser& guesser) {
  FileInfo written;
  const uint64_t size =
      infoOfPath(destination, /*followLinks=*/true, &written).ok() ? written.size : 0;
  return jobDoneLine(encode, shownSource, shownDestination, size,
                     encode ? std::string() : guesser.guess(destination));
}

}  // namespace talvek
