// Shared pieces of the job tests: a private temporary directory that the job
// uses as TMPDIR (so left-over working files can be counted exactly), and the
// expected transform of a byte string.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <functional>
#include <optional>
#include <set>
#include <string>

#include "child_process.h"
#include "job/transform_file.h"
#include "temp_dir.h"

namespace talvek::test {

// Whether name has the working-file form: 8 letters a-z, '.', 3 letters a-z.
bool isWorkingFileName(const std::string& name);

// The transform the job must produce, computed in memory. (The encoded
// layout itself is checked byte by byte against encodeByte.)
std::string expectedTransform(const std::string& data, const std::string& keyText, bool encode);

// Bytes of a deterministic pseudo-random pattern.
std::string patternBytes(size_t size, uint32_t seed = 7);

// The ways a source may change while a job reads it: grown, or a byte
// rewritten near its end (the size alone does not tell). Each changes the
// file at `path`, which holds `data`.
struct SourceChange {
  const char* name;
  void (*apply)(const std::string& path, const std::string& data);
};
extern const SourceChange kSourceChanges[2];

// Writes `data` with a modification time long past, so that a change made
// while a job runs cannot fall within the same clock tick.
void writeAgedFile(const std::string& path, const std::string& data);

// A job's progress callback that makes `change` once the first bytes are
// done, and never stops the job.
JobProgress changingOnceUnderway(std::function<void()> change);

class JobTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Where in-place jobs keep their journals (below the test's state home).
  std::string journals() const { return root_.file("state") + "/Brellam/Talvek"; }
  // Removes the journal directory with all in it, as before a first job.
  void removeJournals();
  // A path in the files directory (not the temporary one).
  std::string file(const std::string& name) const { return files_ + "/" + name; }
  const std::string& files() const { return files_; }
  const std::string& tmp() const { return tmp_; }
  // Whether the temporary directory and the files directory hold exactly
  // the given names, and the journal directory nothing (nothing stray).
  void expectNoStrayFiles(const std::set<std::string>& fileNames);

  TempDir root_;
  std::string files_;
  std::string tmp_;
  std::optional<TmpdirOverride> tmpdir_;
  std::optional<StateHomeOverride> stateHome_;
};

}  // namespace talvek::test
