#include "cli/standard_streams.h"

#include <windows.h>

#include "cli/terminal.h"
#include "platform/charset.h"

namespace talvek {
namespace {

NativeFile standardHandle(DWORD which) {
  const HANDLE handle = ::GetStdHandle(which);
  return handle == nullptr ? kNoFile : reinterpret_cast<NativeFile>(handle);
}

bool openOnNull(DWORD which, DWORD access) {
  const HANDLE handle = ::CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
  return handle != INVALID_HANDLE_VALUE && ::SetStdHandle(which, handle);
}

}  // namespace

NativeFile standardInput() {
  return standardHandle(STD_INPUT_HANDLE);
}

NativeFile standardOutput() {
  return standardHandle(STD_OUTPUT_HANDLE);
}

NativeFile standardError() {
  return standardHandle(STD_ERROR_HANDLE);
}

ClosedStreams reopenClosedStreams() {
  ClosedStreams closed;
  if (standardInput() == kNoFile) {
    closed.input = true;
    (void)openOnNull(STD_INPUT_HANDLE, GENERIC_READ);
  }
  if (standardOutput() == kNoFile) {
    closed.output = true;
    (void)openOnNull(STD_OUTPUT_HANDLE, GENERIC_WRITE);
  }
  if (standardError() == kNoFile) (void)openOnNull(STD_ERROR_HANDLE, GENERIC_WRITE);
  return closed;
}

void openQuestionTerminal(bool quiet, bool readsStandardInput, QuestionTerminal& terminal) {
  if (quiet) {
    terminal.whyNot = "--quiet asks nothing";
  } else if (!readsStandardInput) {
    if (isTerminal(standardInput())) {
      terminal.input = standardInput();
      terminal.output = isTerminal(standardError()) ? standardError() : kNoFile;
    } else {
      terminal.whyNot = "standard input is not a console";
    }
  } else {
    terminal.whyNot = "standard input carries the data and there is no console";
  }
  if (terminal.input != kNoFile && terminal.output != kNoFile) return;
  if (quiet || (!readsStandardInput && terminal.input == kNoFile)) return;
  // The console itself, whatever the standard streams are.
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  const HANDLE in = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  const HANDLE out = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE) {
    if (in != INVALID_HANDLE_VALUE) ::CloseHandle(in);
    if (out != INVALID_HANDLE_VALUE) ::CloseHandle(out);
    terminal.input = kNoFile;
    return;
  }
  terminal.ownedInput.reset(reinterpret_cast<NativeFile>(in));
  terminal.ownedOutput.reset(reinterpret_cast<NativeFile>(out));
  terminal.input = terminal.ownedInput.native();
  terminal.output = terminal.ownedOutput.native();
  terminal.whyNot.clear();
}

std::string typedPasswordCharset() {
  return "UTF-8";
}

std::string typedPasswordKeyCharset() {
  return localeCharset();
}

}  // namespace talvek
