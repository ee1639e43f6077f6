// Line input for talvek-cli: passwords and answers from a terminal (typed
// without echo where asked), and the first line of standard input or of a
// password file, each in bounded time and memory.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/file.h"

namespace talvek {

bool isTerminal(NativeFile file);

// The longest line taken, line end not counted: a longer one is refused
// rather than read without end.
inline constexpr size_t kMaxLineLength = size_t{1} << 20;

enum class LineRead {
  Line,     // a line, maybe empty
  End,      // end of input before any byte
  TooLong,  // more than kMaxLineLength bytes before the line end
  Failed,   // a read failed
};

// Reads one line from fd into `line`, without its line end (LF, or CR LF).
// Nothing after the line is taken from an input that others may share: a
// file is read in blocks and its offset put back just after the line, a
// terminal gives one line per read anyway, and a pipe is read byte by byte.
// On Failed, `error` (when given) receives the system's code.
LineRead readLine(NativeFile input, std::string& line, int* error = nullptr);

// The first line of the file at `path`, which may be anything that can be
// read (a pipe given by the shell as /dev/fd/N too). An empty file gives an
// empty line. On Failed, `error` receives the system's code.
LineRead readFirstLine(const std::string& path, std::string& line, int& error);

// Writes `prompt` to `output`, then reads one line from `input`; with
// `hidden` and a terminal there, the typed text is not echoed, and echo comes
// back even when a signal ends the process meanwhile. nullopt when no line
// could be read; a line end is then written, so the next output starts on a
// line of its own.
std::optional<std::string> askLine(NativeFile input, NativeFile output, const std::string& prompt,
                                   bool hidden);

// Drops one trailing LF and a CR before it.
void stripLineEnd(std::string& line);

}  // namespace talvek
