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
  File ownedInput;
  File ownedOutput;
  NativeFile input = kNoFile;
  NativeFile output = kNoFile;
  std::string whyNot;
};
void openQuestionTerminal(bool quiet, bool readsStandardInput, QuestionTerminal& terminal);

// The character set a typed password arrives in, and the one whose bytes a
// typed password's key is made of; "" for bytes as typed. A terminal here
// gives the locale's bytes, which are the key; a Windows console gives
// UTF-16 (passed on as UTF-8), and the key is the text in the system's ANSI
// code page, as the program has always made it there.
std::string typedPasswordCharset();
std::string typedPasswordKeyCharset();

}  // namespace talvek
