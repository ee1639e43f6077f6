#include "job_test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "codec/block_transform.h"
#include "codec/key_text.h"
#include "platform/posix/unique_fd.h"

namespace talvek::test {

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
       const UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
       ASSERT_EQ(::pwrite(fd.get(), "x", 1, static_cast<off_t>(data.size() - 1)), 1);
     }},
};

void writeAgedFile(const std::string& path, const std::string& data) {
  writeFile(path, data);
  const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
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
  ASSERT_EQ(::mkdir(files_.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(tmp_.c_str(), 0700), 0);
  tmpdir_.emplace(tmp_);
  stateHome_.emplace(root_.file("state"));
}

void JobTest::TearDown() {
  stateHome_.reset();
  tmpdir_.reset();
}

void JobTest::removeJournals() {
  for (const std::string& name : entries(journals())) ::unlink((journals() + "/" + name).c_str());
  ::rmdir(journals().c_str());
  ::rmdir(root_.file("state/Brellam").c_str());
}

void JobTest::expectNoStrayFiles(const std::set<std::string>& fileNames) {
  EXPECT_EQ(entries(tmp_), std::set<std::string>{}) << "left in the temporary directory";
  EXPECT_EQ(entries(files_), fileNames) << "in the destination's directory";
  if (pathExists(journals())) {
    EXPECT_EQ(entries(journals()), std::set<std::string>{}) << "left in the journal directory";
  }
}

}  // namespace talvek::test
