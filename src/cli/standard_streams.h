// talvek-cli's standard streams and the terminal (a console on Windows)
// where questions are asked and passwords typed: what differs between the
// systems, behind one face.
#pragma once

#include <string>

#include "platform/file.h"

namespace talvek {

NativeFile standardInput();
NativeFile standardOutput();
NativeFile standardError();

// Standard streams that were closed when the program started. They are
// opened on the null device, so that no file the program opens takes their
// place and is then read or written as standard input or output.
struct ClosedStreams {
  bool input = false;
  bool output = false;
};
ClosedStreams reopenClosedStreams();

// Where questions are asked and passwords typed: standard input when it is
// a terminal that carries no data; with SOURCE -, the controlling terminal
// (the console). `input` is kNoFile when there is none, and whyNot says so.
struct QuestionTerminal {
  File owned;
  NativeFile input = kNoFile;
  NativeFile output = kNoFile;
  std::string whyNot;
};
void openQuestionTerminal(bool quiet, bool readsStandardInput, QuestionTerminal& terminal);

// Whether path names the file standard input is: /dev/stdin,
// /proc/self/fd/0, another name of the same file, the same pipe. Looked up,
// not opened, so nothing is read from it.
bool isStandardInput(const std::string& path);

}  // namespace talvek
