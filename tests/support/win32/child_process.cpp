#include "child_process.h"

#include <gtest/gtest.h>

#include <vector>

#include "win32/wide.h"

namespace talvek::test {
namespace {

// Tells the child that it is one, and what its parent asks of it.
constexpr wchar_t kArgumentVariable[] = L"TALVEK_TEST_CHILD_ARGUMENT";

std::wstring thisProgram() {
  std::vector<wchar_t> buffer(32768);
  const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  return std::wstring(buffer.data(), n);
}

}  // namespace

ChildTest::ChildTest(const std::string& test, const std::string& argument) {
  std::wstring command = L"\"" + thisProgram() + L"\" --gtest_filter=" + wide(test);
  ::SetEnvironmentVariableW(kArgumentVariable, wide(argument).c_str());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  // No handle of the parent's is inherited: the child holds no pipe of the
  // test runner's open.
  const BOOL made = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                                     CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
  ::SetEnvironmentVariableW(kArgumentVariable, nullptr);
  if (!made) {
    ADD_FAILURE() << "CreateProcessW failed: " << ::GetLastError();
    return;
  }
  ::CloseHandle(process.hThread);
  process_ = process.hProcess;
}

ChildTest::~ChildTest() {
  kill();
}

void ChildTest::kill() {
  if (process_ == nullptr) return;
  ::TerminateProcess(process_, 1);
  ::WaitForSingleObject(process_, INFINITE);
  ::CloseHandle(process_);
  process_ = nullptr;
}

unsigned long ChildTest::wait() {
  if (process_ == nullptr) return ~0ul;
  ::WaitForSingleObject(process_, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process_, &code);
  ::CloseHandle(process_);
  process_ = nullptr;
  return code;
}

std::optional<std::string> childArgument() {
  wchar_t buffer[32768];
  const DWORD n = ::GetEnvironmentVariableW(kArgumentVariable, buffer, 32768);
  if (n == 0 || n >= 32768) return std::nullopt;
  return narrow(std::wstring(buffer, n));
}

}  // namespace talvek::test
