#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <thread>

#include "dialog/window_constants.h"
#include "dialog_fixture.h"
#include "platform/posix/unique_fd.h"

namespace talvek::test {
namespace {

const std::string kPlain = std::string("stream\0\x1A\xFF data", 15);
const std::string kPasswordMessage =
    message("Warning", 0x30, "<Password #1> and <Password #2> are not acceptable!");
const std::string kInvalidSource = message("Warning", 0x30, "Invalid source!");
const std::string kInvalidDestination = message("Warning", 0x30, "Invalid destination!");

class StreamCommandsTest : public DialogTest {
 protected:
  UniqueFd openFile(const std::string& name, int flags) {
    return UniqueFd(::open(dir_.file(name).c_str(), flags | O_CLOEXEC, 0600));
  }
  // Runs an encode with the given ends; the messages it showed.
  std::vector<std::string> encode(const StreamEnds& ends, CommandResult expected) {
    window_.messages.clear();
    EXPECT_EQ(dialog_->runStreamCommand(true, ends), expected);
    EXPECT_FALSE(window_.waitCursorShown());
    return shown();
  }
};

TEST_F(StreamCommandsTest, TheKeyAndThePathsAreCheckedInTheDialogsOrder) {
  writeFile(dir_.file("plain"), kPlain);
  writeFile(dir_.file("k.mk"), "key file");
  writeFile(dir_.file("out"), "old");
  const UniqueFd in = openFile("plain", O_RDONLY);
  const UniqueFd out = openFile("out", O_WRONLY | O_APPEND);
  const UniqueFd plainAppend = openFile("plain", O_WRONLY | O_APPEND);
  const UniqueFd keyAppend = openFile("k.mk", O_WRONLY | O_APPEND);

  usePasswords("one", "two");
  setPaths(dir_.file("missing"), "");
  EXPECT_EQ(encode({in.get(), out.get()}, CommandResult::Refused),
            std::vector<std::string>{kPasswordMessage});
  usePasswords("pw", "pw");
  EXPECT_EQ(encode({-1, out.get()}, CommandResult::Refused),
            std::vector<std::string>{kInvalidSource});
  // The file being read, or the key, never takes the output.
  EXPECT_EQ(encode({in.get(), plainAppend.get()}, CommandResult::Refused),
            std::vector<std::string>{kInvalidDestination});
  setPaths(dir_.file("plain"), "");
  EXPECT_EQ(encode({-1, plainAppend.get()}, CommandResult::Refused),
            std::vector<std::string>{kInvalidDestination});
  useKeyFile(dir_.file("k.mk"));
  EXPECT_EQ(encode({in.get(), keyAppend.get()}, CommandResult::Refused),
            std::vector<std::string>{kInvalidDestination});
  setPaths("-", dir_.file("k.mk"));
  EXPECT_EQ(encode({in.get(), -1}, CommandResult::Refused),
            std::vector<std::string>{kInvalidDestination});
  // A destination file is asked about as in the file command.
  setPaths("-", dir_.file("out"));
  window_.answers = {IDNO};
  EXPECT_EQ(encode({in.get(), -1}, CommandResult::Refused),
            std::vector<std::string>{
                message("Warning", 0x134, "Destination file exists.\nOverwrite it?")});
  EXPECT_EQ(::lseek(in.get(), 0, SEEK_CUR), 0) << "a refused command reads nothing";
  EXPECT_EQ(readFile(dir_.file("out")), "old");
  EXPECT_EQ(readFile(dir_.file("k.mk")), "key file");
}

TEST_F(StreamCommandsTest, AStreamIsNotReadTwiceWhenADestinationAppears) {
  // The data of a stream cannot be had again: a file that took the
  // destination's name while the stream was read is kept, and the warning
  // says why the data went nowhere.
  usePasswords("secret", "secret");
  setPaths("-", dir_.file("out"));
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  std::thread feeder([&] {
    EXPECT_EQ(::write(ends[1], kPlain.data(), kPlain.size()), static_cast<ssize_t>(kPlain.size()));
    int unread = 1;
    while (unread > 0 && ::ioctl(ends[0], FIONREAD, &unread) == 0) ::usleep(1000);
    writeFile(dir_.file("out"), "theirs");
    ::close(ends[1]);
  });
  StreamEnds streams;
  streams.input = ends[0];
  const std::vector<std::string> messages = encode(streams, CommandResult::Failed);
  feeder.join();
  ::close(ends[0]);
  EXPECT_EQ(messages, std::vector<std::string>{message(
                          "Warning", 0x30,
                          "The destination already exists! (" + dir_.file("out") + ")")});
  EXPECT_EQ(readFile(dir_.file("out")), "theirs");
}

TEST_F(StreamCommandsTest, AProtectedPathIsNeverADestination) {
  writeFile(dir_.file("plain"), kPlain);
  writeFile(dir_.file("pw"), "pass word");
  DialogEnvironment environment;
  environment.protectedPaths = {dir_.file("pw")};
  EncoderDialog dialog(window_, environment);
  usePasswords("pass word", "pass word");
  window_.answers = {IDYES, IDYES};
  setPaths(dir_.file("plain"), dir_.file("pw"));
  EXPECT_EQ(dialog.runTransformCommand(true), CommandResult::Refused);
  const UniqueFd in = openFile("plain", O_RDONLY);
  const UniqueFd pwAppend = openFile("pw", O_WRONLY | O_APPEND);
  EXPECT_EQ(dialog.runStreamCommand(true, {in.get(), pwAppend.get()}), CommandResult::Refused);
  EXPECT_EQ(shown(), std::vector<std::string>(2, kInvalidDestination));
  EXPECT_EQ(readFile(dir_.file("pw")), "pass word");
}

TEST_F(StreamCommandsTest, PasswordsAreTurnedIntoTheChosenCharacterSet) {
  DialogEnvironment environment;
  environment.passwordCharset = "WINDOWS-1252";
  environment.passwordTextCharset = "UTF-8";
  EncoderDialog dialog(window_, environment);
  auto acquire = [&](const std::string& first, const std::string& second) {
    usePasswords(first, second);
    window_.messages.clear();
    std::string key;
    return dialog.acquireKeyText(key) ? key : "refused: " + shown().at(0);
  };
  EXPECT_EQ(acquire("caf\xC3\xA9", "caf\xC3\xA9"), "caf\xE9");
  EXPECT_EQ(acquire("\xE2\x82\xAC\xE2\x82\xAC", "\xE2\x82\xAC\xE2\x82\xAC"), "\x80\x80");
  EXPECT_EQ(
      acquire("\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5\xE6\x9C\xAC"),
      "refused: " + message("Warning", 0x30, "<Password #1> cannot be converted to WINDOWS-1252!"));
  // Two bytes typed, one byte used: too short, as on the other system.
  EXPECT_EQ(acquire("\xC3\xA9", "\xC3\xA9"), "refused: " + kPasswordMessage);
  EXPECT_EQ(acquire("\xE6\x97\xA5", "x"), "refused: " + kPasswordMessage);
  // A key file's bytes are used as they are.
  writeFile(dir_.file("k.mk"), "caf\xC3\xA9");
  useKeyFile(dir_.file("k.mk"));
  std::string key;
  ASSERT_TRUE(dialog.acquireKeyText(key));
  EXPECT_EQ(key, "caf\xC3\xA9\n");
}

}  // namespace
}  // namespace talvek::test
