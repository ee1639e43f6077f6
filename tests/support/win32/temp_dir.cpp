#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "child_process.h"
#include "win32/wide.h"

namespace talvek::test {
namespace {

std::filesystem::path fsPath(const std::string& path) {
  return std::filesystem::path(wide(path));
}

std::string systemTemp() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
  std::wstring path(buffer, n > 0 && n <= MAX_PATH ? n : 0);
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return narrow(path);
}

// A new directory under the system's temporary one.
std::string makeDirectory(const std::string& stem) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = systemTemp() + "\\" + stem + std::to_string(::GetCurrentProcessId()) +
                             "-" + std::to_string(::GetTickCount64() % 100000) + "-" +
                             std::to_string(++counter);
    if (::CreateDirectoryW(wide(path).c_str(), nullptr)) return path;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  ADD_FAILURE() << "cannot make a directory under " << systemTemp();
  return {};
}

void removeAll(const std::string& path) {
  std::error_code ec;
  // Tests leave read-only files behind; the attribute keeps them from going.
  for (auto it = std::filesystem::recursive_directory_iterator(fsPath(path), ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    ::SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  std::filesystem::remove_all(fsPath(path), ec);
}

void setVariable(const char* name, const std::string* value) {
  ::SetEnvironmentVariableW(wide(name).c_str(), value != nullptr ? wide(*value).c_str() : nullptr);
}

// Every program of the tests gets folders of its own for what the system
// keeps per user (wine hands its own values down, whatever CTest sets), so
// no test reaches the real ones; the fixtures point them elsewhere again.
class PrivateUserFolders : public ::testing::Environment {
 public:
  void SetUp() override {
    // A child of another test works in its parent's folders.
    if (childArgument()) return;
    root_ = makeDirectory("talvek-home-");
    for (const char* name : {"LOCALAPPDATA", "APPDATA"}) {
      const std::string folder = root_ + "\\" + name;
      ::CreateDirectoryW(wide(folder).c_str(), nullptr);
      setVariable(name, &folder);
    }
  }
  void TearDown() override {
    if (!root_.empty()) removeAll(root_);
  }

 private:
  std::string root_;
};

[[maybe_unused]] ::testing::Environment* const userFolders =
    ::testing::AddGlobalTestEnvironment(new PrivateUserFolders);

}  // namespace

TempDir::TempDir() : path_(makeDirectory("talvek-test-")) {}

TempDir::~TempDir() {
  removeAll(path_);
}

std::string TempDir::file(const std::string& name) const {
  return path_ + "/" + name;
}

DirectoryVariableOverride::DirectoryVariableOverride(const char* name, const std::string& path)
    : name_(name) {
  wchar_t buffer[32768];
  const DWORD n = ::GetEnvironmentVariableW(wide(name).c_str(), buffer, 32768);
  if (n > 0 && n < 32768) saved_ = narrow(std::wstring(buffer, n));
  ::CreateDirectoryW(wide(path).c_str(), nullptr);
  setVariable(name, &path);
}

DirectoryVariableOverride::~DirectoryVariableOverride() {
  setVariable(name_, saved_ ? &*saved_ : nullptr);
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(fsPath(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) ADD_FAILURE() << "cannot write " << path;
}

std::string readFile(const std::string& path) {
  std::ifstream in(fsPath(path), std::ios::binary);
  if (!in) {
    ADD_FAILURE() << "cannot read " << path;
    return {};
  }
  std::ostringstream content;
  content << in.rdbuf();
  return std::move(content).str();
}

bool pathExists(const std::string& path) {
  return ::GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace talvek::test
