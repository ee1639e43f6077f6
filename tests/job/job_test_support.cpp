#include "job_test_support.h"

#ifdef _WIN32
#include <windows.h>

#include <filesystem>
#include <fstream>
#else
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "codec/block_transform.h"
#include "codec/key_text.h"
#ifndef _WIN32
#include "platform/posix/unique_fd.h"
#endif

namespace talvek::test {

#ifdef _WIN32
namespace {

std::filesystem::path fsPath(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

}  // namespace
#endif

bool isWorkingFileName(const std::string& name) {
  if (name.size() != 12 || name[8] != '.') return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (i != 8 && (name[i] < 'a' || name[i] > 'z')) return false;
  }
  return true;
}

std::string expectedTransform(const std::string& data, const std::string& keyText, bool encode) {
  std::string out = data;
  BlockTransform(prepareKeyText(keyText), encode)
      .apply(reinterpret_cast<uint8_t*>(out.data()), out.size(), 0);
  return out;
}

std::string patternBytes(size_t size, uint32_t seed) {
  std::string out(size, '\0');
  uint32_t state = seed;
  for (char& c : out) {
    state = state * 1664525u + 1013904223u;
    c = static_cast<char>(state >> 24);
  }
  return out;
}

const SourceChange kSourceChanges[2] = {
    {"grown",
     [](const std::string& path, const std::string& data) { writeFile(path, data + "more"); }},
    {"rewritten",
     [](const std::string& path, const std::string& data) {
#ifdef _WIN32
       std::fstream file(fsPath(path), std::ios::in | std::ios::out | std::ios::binary);
       file.seekp(static_cast<std::streamoff>(data.size() - 1));
       file.put('x');
       ASSERT_TRUE(file.flush());
#else
       const UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
       ASSERT_EQ(::pwrite(fd.get(), "x", 1, static_cast<off_t>(data.size() - 1)), 1);
#endif
     }},
};

void writeAgedFile(const std::string& path, const std::string& data) {
  writeFile(path, data);
#ifdef _WIN32
  std::error_code ec;
  const auto old =
      std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 365 * 20);
  std::filesystem::last_write_time(fsPath(path), old, ec);
  ASSERT_FALSE(ec) << ec.message();
#else
  const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
#endif
}

JobProgress changingOnceUnderway(std::function<void()> change) {
  return [change = std::move(change), changed = false](uint64_t bytes, uint64_t) mutable {
    if (bytes > 0 && !changed) {
      change();
      changed = true;
    }
    return true;
  };
}

void JobTest::SetUp() {
  files_ = root_.file("files");
  tmp_ = root_.file("tmp");
#ifdef _WIN32
  ASSERT_TRUE(std::filesystem::create_directory(fsPath(files_)));
  ASSERT_TRUE(std::filesystem::create_directory(fsPath(tmp_)));
#else
  ASSERT_EQ(::mkdir(files_.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(tmp_.c_str(), 0700), 0);
#endif
  tmpdir_.emplace(tmp_);
  stateHome_.emplace(root_.file("state"));
}

void JobTest::TearDown() {
  stateHome_.reset();
  tmpdir_.reset();
}

void JobTest::removeJournals() {
#ifdef _WIN32
  std::error_code ec;
  std::filesystem::remove_all(fsPath(root_.file("state/Brellam")), ec);
#else
  for (const std::string& name : entries(journals())) ::unlink((journals() + "/" + name).c_str());
  ::rmdir(journals().c_str());
  ::rmdir(root_.file("state/Brellam").c_str());
#endif
}

void JobTest::expectNoStrayFiles(const std::set<std::string>& fileNames) {
  EXPECT_EQ(entries(tmp_), std::set<std::string>{}) << "left in the temporary directory";
  EXPECT_EQ(entries(files_), fileNames) << "in the destination's directory";
  if (pathExists(journals())) {
    EXPECT_EQ(entries(journals()), std::set<std::string>{}) << "left in the journal directory";
  }
}

}  // namespace talvek::test
