// Reads a whole file as a text-mode stream of the original platform would:
// CR LF reads as LF, the first byte 0x1A ends the file, every other byte reads
// as it is. The streams of this platform make no such translation.
#pragma once

#include <cstddef>
#include <string>

namespace talvek {

// Replaces `text` with the file's text, in memory for the file's size plus
// one byte. False when the file cannot be opened, a read fails or the text
// does not fit in memory; `text` is then empty.
bool readTextModeFile(const std::string& path, std::string& text);

// The same translation on bytes already in memory, for callers that read in
// pieces. `pendingCr` carries a CR that ended the previous piece; it is
// written out (as CR or as part of CR LF) once the next byte is known, or
// by finishTextModeBytes at the end. Returns false once 0x1A has been seen:
// the rest of the input is then to be ignored.
bool appendTextModeBytes(const char* data, size_t size, bool& pendingCr, std::string& text);
void finishTextModeBytes(bool& pendingCr, std::string& text);

}  // namespace talvek
