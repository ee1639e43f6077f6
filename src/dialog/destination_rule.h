// The destination proposed for a chosen source: an encoded file's path
// without its ".tc", any other path with ".tc" appended.
#pragma once

#include <string>

namespace talvek {

// "report.doc.tc" -> "report.doc", "REPORT.TC" -> "REPORT",
// "notes.txt" -> "notes.txt.tc"; only the file-name part's extension counts.
std::string destinationForSource(const std::string& source);

// Whether path is named as an encoded file is: its proposed destination
// drops a ".tc" rather than adding one.
bool hasEncodedExtension(const std::string& path);

}  // namespace talvek
