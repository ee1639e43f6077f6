// The destination proposed for a chosen source: an encoded file's path
// without its ".tc", any other path with ".tc" appended.
#pragma once

#include <string>

namespace talvek {

// "report.doc.tc" -> "report.doc", "REPORT.TC" -> "REPORT",
// "notes.txt" -> "notes.txt.tc"; only the file-name part's extension counts.
std::string destinationForSource(const std::string& source);

}  // namespace talvek
