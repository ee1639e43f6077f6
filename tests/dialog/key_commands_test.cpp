#include <gtest/gtest.h>
#include <sys/stat.h>

#include "dialog/window_constants.h"
#include "dialog_fixture.h"

namespace talvek::test {
namespace {

const std::string kPasswordMessage =
    message("Warning", 0x30, "<Password #1> and <Password #2> are not acceptable!");
const std::string kKeyMessage = message("Warning", 0x30, "Invalid Morva~Key!");

class KeyCommandsTest : public DialogTest {
 protected:
  // The key text, or the messages shown when it is refused.
  std::string acquire() {
    std::string key = "stale";
    const size_t before = window_.messages.size();
    if (dialog_->acquireKeyText(key)) {
      EXPECT_EQ(window_.messages.size(), before);
      return key;
    }
    EXPECT_EQ(window_.messages.size(), before + 1) << "one message per refusal";
    return "refused: " + shown().back();
  }
};

TEST_F(KeyCommandsTest, PasswordsMustMatchByteForByteAndHaveTwoBytes) {
  usePasswords(" Se cret ", " Se cret ");
  EXPECT_EQ(acquire(), " Se cret ");
  usePasswords("ab", "ab");
  EXPECT_EQ(acquire(), "ab");

  for (const auto& [first, second] : std::vector<std::pair<std::string, std::string>>{
           {"a", "a"}, {"", ""}, {"Secret", "secret"}, {"secret", "secret "}, {"ab", ""}}) {
    usePasswords(first, second);
    EXPECT_EQ(acquire(), "refused: " + kPasswordMessage) << first << "/" << second;
  }
}

TEST_F(KeyCommandsTest, OnlyTheCheckedKindOfSecretIsLookedAt) {
  const std::string key = dir_.file("good.mk");
  writeFile(key, "xyz");
  window_.texts[IDC_PASSWORD1] = "one";
  window_.texts[IDC_PASSWORD2] = "two";
  window_.checkButton(IDC_USE_KEY_FILE);
  window_.texts[IDC_KEY_FILE] = key;
  EXPECT_EQ(acquire(), "xyz\n");

  usePasswords("same", "same");
  window_.texts[IDC_KEY_FILE] = dir_.file("missing.mk");
  EXPECT_EQ(acquire(), "same");
}

TEST_F(KeyCommandsTest, KeyFilesThatAreMissingOrTooShortAreRefusedAlike) {
  writeFile(dir_.file("one.mk"), "a");
  writeFile(dir_.file("crlf.mk"), "\r\n");
  for (const std::string& path : {std::string(), dir_.file("missing.mk"), dir_.path(),
                                  dir_.file("one.mk"), dir_.file("crlf.mk")}) {
    useKeyFile(path);
    EXPECT_EQ(acquire(), "refused: " + kKeyMessage) << path;
  }
  writeFile(dir_.file("two.mk"),
            "a\r\nb\x1A"
            "tail");
  useKeyFile(dir_.file("two.mk"));
  EXPECT_EQ(acquire(), "a\nb\n");
}

class GenerateKeyTest : public DialogTest {};

TEST_F(GenerateKeyTest, AsksForAKeyFileWithItsOwnDialog) {
  window_.fileChoices.push_back(std::nullopt);
  EXPECT_EQ(dialog_->onGenerateKey(), CommandResult::Cancelled);
  ASSERT_EQ(window_.fileDialogs.size(), 1u);
  EXPECT_TRUE(window_.fileDialogs[0].save);
  EXPECT_EQ(window_.fileDialogs[0].description,
            (FileDialogSpec{"Morva~Key Files (*.mk)|*.mk|All Files (*.*)|*.*|", "*.mk", "mk",
                            OFN_HIDEREADONLY, ""}));
  EXPECT_TRUE(window_.messages.empty());
  EXPECT_EQ(window_.controlText(IDC_KEY_FILE), "");
}

TEST_F(GenerateKeyTest, WritesAPrivatePrintableKeyThatReadsBackWithOneLineFeed) {
  const std::string path = dir_.file("new.mk");
  window_.fileChoices.push_back(path);
  EXPECT_EQ(dialog_->onGenerateKey(), CommandResult::Done);
  EXPECT_TRUE(window_.messages.empty());
  EXPECT_EQ(window_.controlText(IDC_KEY_FILE), path);
  EXPECT_EQ(window_.checkedButton, 0) << "the option buttons are left alone";

  const std::string key = readFile(path);
  EXPECT_GE(key.size(), 2u);
  EXPECT_LE(key.size(), 32767u);
  for (char c : key) {
    ASSERT_GE(c, 32);
    ASSERT_LE(c, 126);
  }
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  window_.checkButton(IDC_USE_KEY_FILE);
  std::string keyText;
  ASSERT_TRUE(dialog_->acquireKeyText(keyText));
  EXPECT_EQ(keyText, key + "\n");

  // A second key in the same run is a different one.
  const std::string second = dir_.file("second.mk");
  window_.fileChoices.push_back(second);
  EXPECT_EQ(dialog_->onGenerateKey(), CommandResult::Done);
  EXPECT_NE(readFile(second), key);
}

TEST_F(GenerateKeyTest, AnExistingFileIsReplacedOnlyAfterYes) {
  const std::string path = dir_.file("old.mk");
  writeFile(path, "old key");
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  window_.texts[IDC_KEY_FILE] = "before";

  window_.fileChoices.push_back(path);
  window_.answers.push_back(IDNO);
  EXPECT_EQ(dialog_->onGenerateKey(), CommandResult::Refused);
  EXPECT_EQ(shown(),
            std::vector<std::string>{message("Warning", 0x134, "File exists.\nOverwrite it?")});
  EXPECT_EQ(readFile(path), "old key");
  EXPECT_EQ(window_.controlText(IDC_KEY_FILE), "before");

  window_.fileChoices.push_back(path);
  window_.answers.push_back(IDYES);
  EXPECT_EQ(dialog_->onGenerateKey(), CommandResult::Done);
  EXPECT_NE(readFile(path), "old key");
  EXPECT_EQ(readFile(path).find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(window_.controlText(IDC_KEY_FILE), path);
  // A key is a secret, whatever the file it replaces let others do.
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(GenerateKeyTest, APathThatCannotBeCreatedIsRefused) {
  for (const std::string& path : {dir_.file("missing/new.mk"), dir_.path()}) {
    window_.messages.clear();
    window_.fileChoices.push_back(path);
    EXPECT_EQ(dialog_->onGenerateKey(), CommandResult::Refused);
    EXPECT_EQ(shown(), std::vector<std::string>{message("Warning", 0x30, "Invalid path!")});
    EXPECT_EQ(window_.controlText(IDC_KEY_FILE), "");
  }
}

TEST_F(GenerateKeyTest, AFailedWriteKeepsTheOldKeyAndTheField) {
  const std::string path = dir_.file("old.mk");
  writeFile(path, "old key");
  window_.texts[IDC_KEY_FILE] = "before";
  window_.fileChoices.push_back(path);
  window_.answers.push_back(IDYES);
  {
    FileSizeLimit limit(1);
    EXPECT_EQ(dialog_->onGenerateKey(), CommandResult::Failed);
  }
  EXPECT_EQ(shown().back(), message("Warning", 0x30, "Invalid path!"));
  EXPECT_EQ(readFile(path), "old key");
  EXPECT_EQ(window_.controlText(IDC_KEY_FILE), "before");
}

}  // namespace
}  // namespace talvek::test
