#include "platform/c_random.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>

#include "platform/temp_directory.h"
#include "temp_dir.h"

namespace talvek {
namespace {

TEST(CRuntimeRandom, ReproducesTheClassicSequence) {
  CRuntimeRandom generator(1);
  for (int expected : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358}) {
    EXPECT_EQ(generator.next(), expected);
  }
  generator.seed(0);
  EXPECT_EQ(generator.next(), 38);
  EXPECT_EQ(generator.next(), 7719);
}

TEST(CRuntimeRandom, ProcessGeneratorStartsAsSeededWithOneAndReseeds) {
  CRuntimeRandom reference(1);
  EXPECT_EQ(nextRandom(), reference.next());
  seedRandom(12345);
  reference.seed(12345);
  for (int i = 0; i < 1000; ++i) {
    const int value = nextRandom();
    ASSERT_EQ(value, reference.next());
    ASSERT_GE(value, 0);
    ASSERT_LE(value, CRuntimeRandom::kMax);
  }
}

class TempDirectoryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (saved_) {
      setenv("TMPDIR", saved_->c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }
  std::optional<std::string> saved_ =
      getenv("TMPDIR") ? std::optional<std::string>(getenv("TMPDIR")) : std::nullopt;
};

TEST_F(TempDirectoryTest, UsesTmpdirWhenItNamesADirectory) {
  test::TempDir dir;
  setenv("TMPDIR", dir.path().c_str(), 1);
  EXPECT_EQ(tempDirectory(), dir.path() + "/");
  setenv("TMPDIR", (dir.path() + "/").c_str(), 1);
  EXPECT_EQ(tempDirectory(), dir.path() + "/");
}

TEST_F(TempDirectoryTest, FallsBackToTmp) {
  test::TempDir dir;
  test::writeFile(dir.file("plain"), "x");
  setenv("TMPDIR", dir.file("plain").c_str(), 1);
  EXPECT_EQ(tempDirectory(), "/tmp/");
  setenv("TMPDIR", dir.file("missing").c_str(), 1);
  EXPECT_EQ(tempDirectory(), "/tmp/");
  setenv("TMPDIR", "", 1);
  EXPECT_EQ(tempDirectory(), "/tmp/");
  unsetenv("TMPDIR");
  EXPECT_EQ(tempDirectory(), "/tmp/");
}

}  // namespace
}  // namespace talvek
