// The line talvek-cli writes once a job has written a file, so that the
// user sees what was made and, after a decode, what it looks like: a wrong
// password gives bytes that look like nothing known.
#pragma once

#include <cstdint>
#include <string>

#include "cli/file_type.h"

namespace talvek {

// A size in decimal units, one decimal from a kilobyte up: "1 byte",
// "512 bytes", "19.2 MB".
std::string sizeText(uint64_t bytes);

// "Encoded report.doc to report.doc.tc, 19.2 MB"; with a type, as after a
// decode: "Decoded a.pdf.tc to a.pdf, 1.1 MB: PDF document". The names are
// given as they are to be shown.
std::string jobDoneLine(bool encode, const std::string& source, const std::string& destination,
                        uint64_t size, const std::string& type);

// jobDoneLine for the file the job wrote at `destination`: its size, and
// after a decode its type from `guesser`.
std::string writtenFileLine(bool encode, const std::string& shownSource,
                            const std::string& destination, const std::string& shownDestination,
                            FileTypeGuesser& guesser);

}  // namespace talvek
