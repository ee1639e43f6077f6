#include "cli/terminal.h"

#include <windows.h>

#include <cstring>

#include "platform/win32/wide_text.h"

namespace talvek {
namespace {

HANDLE handleOf(NativeFile file) {
  return reinterpret_cast<HANDLE>(file);
}

// The console's echo, turned off while a password is typed and back on
// however the program ends meanwhile: the console keeps its mode after the
// program is gone.
HANDLE hiddenConsole = nullptr;
DWORD savedMode = 0;

BOOL WINAPI restoreEchoOnStop(DWORD) {
  if (hiddenConsole != nullptr) ::SetConsoleMode(hiddenConsole, savedMode);
  return FALSE;  // and on to whoever handles it next
}

class HiddenInput {
 public:
  explicit HiddenInput(HANDLE console) {
    if (!::GetConsoleMode(console, &savedMode)) return;
    hiddenConsole = console;
    ::SetConsoleCtrlHandler(restoreEchoOnStop, TRUE);
    ::SetConsoleMode(console, savedMode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  }
  ~HiddenInput() {
    if (hiddenConsole == nullptr) return;
    ::SetConsoleMode(hiddenConsole, savedMode);
    hiddenConsole = nullptr;
    ::SetConsoleCtrlHandler(restoreEchoOnStop, FALSE);
  }
  HiddenInput(const HiddenInput&) = delete;
  HiddenInput& operator=(const HiddenInput&) = delete;
};

void writeText(NativeFile output, const std::string& text) {
  if (text.empty()) return;
  const HANDLE handle = handleOf(output);
  DWORD mode = 0;
  if (::GetConsoleMode(handle, &mode)) {
    const std::wstring wide = wideFromUtf8(text);
    DWORD written = 0;
    ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  DWORD written = 0;
  ::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// One line typed at the console, as UTF-8.
LineRead readConsoleLine(HANDLE console, std::string& line, int* error) {
  std::wstring typed;
  wchar_t buffer[256];
  for (;;) {
    DWORD got = 0;
    if (!::ReadConsoleW(console, buffer, static_cast<DWORD>(std::size(buffer)), &got, nullptr)) {
      if (error != nullptr) *error = static_cast<int>(::GetLastError());
      return LineRead::Failed;
    }
    if (got == 0) break;
    typed.append(buffer, got);
    if (!typed.empty() && typed.back() == L'\n') break;
    // Ctrl+Z at the start of a line is the console's end of input.
    if (typed == L"\x1A") return LineRead::End;
    if (typed.size() > kMaxLineLength) return LineRead::TooLong;
  }
  if (typed.empty()) return LineRead::End;
  line = utf8FromWide(typed);
  stripLineEnd(line);
  return line.size() > kMaxLineLength ? LineRead::TooLong : LineRead::Line;
}

}  // namespace

bool isTerminal(NativeFile file) {
  DWORD mode = 0;
  return file != kNoFile && ::GetConsoleMode(handleOf(file), &mode) != 0;
}

void stripLineEnd(std::string& line) {
  if (!line.empty() && line.back() == '\n') line.pop_back();
  if (!line.empty() && line.back() == '\r') line.pop_back();
}

LineRead readLine(NativeFile input, std::string& line, int* error) {
  line.clear();
  const HANDLE handle = handleOf(input);
  if (isTerminal(input)) return readConsoleLine(handle, line, error);
  LARGE_INTEGER start{};
  LARGE_INTEGER zero{};
  const bool seekable = ::GetFileType(handle) == FILE_TYPE_DISK &&
                        ::SetFilePointerEx(handle, zero, &start, FILE_CURRENT);
  char buffer[4096];
  // Nothing after the line is taken from a pipe that others may share.
  const DWORD chunk = seekable ? sizeof buffer : 1;
  bool any = false;
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(handle, buffer, chunk, &got, nullptr)) {
      const DWORD code = ::GetLastError();
      if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) break;
      if (error != nullptr) *error = static_cast<int>(code);
      return LineRead::Failed;
    }
    if (got == 0) break;
    any = true;
    const void* end = std::memchr(buffer, '\n', got);
    const size_t taken = end ? static_cast<size_t>(static_cast<const char*>(end) - buffer) + 1 : got;
    line.append(buffer, taken);
    if (end) {
      if (seekable && taken < got) {
        LARGE_INTEGER after{};
        after.QuadPart = start.QuadPart + static_cast<LONGLONG>(line.size());
        ::SetFilePointerEx(handle, after, nullptr, FILE_BEGIN);
      }
      break;
    }
    // One more byte than the limit leaves room for the CR of a CR LF.
    if (line.size() > kMaxLineLength + 1) return LineRead::TooLong;
  }
  if (!any) return LineRead::End;
  stripLineEnd(line);
  return line.size() > kMaxLineLength ? LineRead::TooLong : LineRead::Line;
}

LineRead readFirstLine(const std::string& path, std::string& line, int& error) {
  const HANDLE handle =
      ::CreateFileW(widePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = static_cast<int>(::GetLastError());
    return LineRead::Failed;
  }
  error = 0;
  LineRead result = readLine(reinterpret_cast<NativeFile>(handle), line, &error);
  ::CloseHandle(handle);
  if (result == LineRead::End) result = LineRead::Line;
  return result;
}

std::optional<std::string> askLine(NativeFile input, NativeFile output, const std::string& prompt,
                                   bool hidden) {
  std::string line;
  LineRead result;
  {
    std::optional<HiddenInput> quiet;
    if (hidden && isTerminal(input)) quiet.emplace(handleOf(input));
    // Prompt only once echo is off, so nothing typed in answer is shown.
    writeText(output, prompt);
    result = readLine(input, line);
  }
  // The line end the console did not echo.
  if (hidden) writeText(output, "\n");
  if (result == LineRead::Line) return line;
  if (!hidden) writeText(output, "\n");
  return std::nullopt;
}

}  // namespace talvek
