// talvek-cli.exe run as a user runs it: through files and through pipes, the
// same bytes as the Linux build's talvek-cli (the codec's transform of the
// input, which the job's byte-identity test pins to the Linux files), the
// same messages and exit statuses.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "codec/block_transform.h"
#include "codec/key_text.h"
#include "temp_dir.h"

namespace talvek::test {
namespace {

std::wstring wideOf(const std::string& text) {
  std::wstring out(text.size(), L'\0');
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      out.data(), static_cast<int>(out.size()));
  out.resize(static_cast<size_t>(n > 0 ? n : 0));
  return out;
}

struct CliRun {
  DWORD status = 0;
  std::string out;
  std::string err;
};

// Reads a pipe to its end on a thread of its own, so a child that fills one
// pipe never waits for the test to empty another.
class PipeReader {
 public:
  explicit PipeReader(HANDLE pipe) : thread_([this, pipe] {
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) text_.append(buffer, got);
    ::CloseHandle(pipe);
  }) {}
  std::string take() {
    thread_.join();
    return std::move(text_);
  }

 private:
  std::string text_;
  std::thread thread_;
};

// Runs talvek-cli.exe with the arguments, `input` on standard input through
// a pipe, and standard output and error taken through pipes.
CliRun runCli(const std::vector<std::string>& args, const std::string& input = {}) {
  std::wstring line = L"\"" + wideOf(TALVEK_CLI_PATH) + L"\"";
  for (const std::string& arg : args) line += L" \"" + wideOf(arg) + L"\"";
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE inRead, inWrite, outRead, outWrite, errRead, errWrite;
  EXPECT_TRUE(::CreatePipe(&inRead, &inWrite, &inherit, 0));
  EXPECT_TRUE(::CreatePipe(&outRead, &outWrite, &inherit, 0));
  EXPECT_TRUE(::CreatePipe(&errRead, &errWrite, &inherit, 0));
  for (HANDLE own : {inWrite, outRead, errRead}) ::SetHandleInformation(own, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inRead;
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  PROCESS_INFORMATION process{};
  const BOOL started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
  EXPECT_TRUE(started);
  for (HANDLE theirs : {inRead, outWrite, errWrite}) ::CloseHandle(theirs);
  PipeReader out(outRead);
  PipeReader err(errRead);
  DWORD written = 0;
  if (!input.empty()) ::WriteFile(inWrite, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
  ::CloseHandle(inWrite);
  CliRun run;
  if (started) {
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::GetExitCodeProcess(process.hProcess, &run.status);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  run.out = out.take();
  run.err = err.take();
  return run;
}

std::string transformed(const std::string& data, const std::string& key, bool encode) {
  std::string out = data;
  BlockTransform(prepareKeyText(key), encode)
      .apply(reinterpret_cast<uint8_t*>(out.data()), out.size(), 0);
  return out;
}

// Every byte value, CR LF, lone CR, and Ctrl+Z, which a text-mode stream
// would turn or stop at; long enough for several buffers.
std::string awkwardBytes() {
  std::string data;
  for (int round = 0; round < 3000; ++round) {
    for (int i = 0; i < 256; ++i) data += static_cast<char>(i);
    data += "line\r\n\x1a\r";
  }
  return data;
}

class CliProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(dir_.file("pw"), "p\xC3\xA4ss word\r\n");
    writeFile(dir_.file("in"), data_);
  }
  std::string file(const std::string& name) const { return dir_.file(name); }

  TempDir dir_;
  const std::string data_ = awkwardBytes();
  // The password file's first line, its bytes as they are.
  const std::string key_ = "p\xC3\xA4ss word";
};

TEST_F(CliProgramTest, FilesAndPipesGetTheSameBytesAsEverywhere) {
  const std::string encoded = transformed(data_, key_, true);
  CliRun run = runCli({"encode", file("in"), "--password-file", file("pw")});
  EXPECT_EQ(run.status, 0u) << run.err;
  EXPECT_TRUE(readFile(file("in.tc")) == encoded);
  run = runCli({"decode", file("in.tc"), file("back"), "--password-file", file("pw")});
  EXPECT_EQ(run.status, 0u) << run.err;
  EXPECT_TRUE(readFile(file("back")) == data_);
  // A filter, both ends pipes: standard input and output in binary mode.
  run = runCli({"encode", "-", "-", "--password-file", file("pw")}, data_);
  EXPECT_EQ(run.status, 0u) << run.err;
  EXPECT_TRUE(run.out == encoded);
  run = runCli({"decode", "-", file("piped"), "--password-file", file("pw")}, encoded);
  EXPECT_EQ(run.status, 0u) << run.err;
  EXPECT_TRUE(readFile(file("piped")) == data_);
  run = runCli({"decode", file("in.tc"), "-", "--password-file", file("pw")});
  EXPECT_TRUE(run.out == data_);
}

TEST_F(CliProgramTest, RefusalsAndMistakesSayWhyWithTheirStatus) {
  writeFile(file("in.tc"), "old");
  struct Case {
    std::vector<std::string> args;
    DWORD status;
    std::string err;
  };
  const Case cases[] = {
      {{"encode", file("in"), "--password-file", file("pw"), "--quiet"},
       1,
       "Warning: Destination file exists.\nOverwrite it? [y/N] n (--quiet asks nothing; --yes "
       "answers yes)\n"},
      {{"encode", file("missing"), "--password-file", file("pw")}, 1, "Warning: Invalid source!\n"},
      {{"frobnicate"}, 2, "talvek-cli: unknown command 'frobnicate'\nTry 'talvek-cli --help'.\n"},
  };
  for (const Case& c : cases) {
    const CliRun run = runCli(c.args);
    EXPECT_EQ(run.status, c.status) << c.args[0];
    // Messages end their lines as Windows' text does.
    std::string err = run.err;
    std::erase(err, '\r');
    EXPECT_EQ(err, c.err) << c.args[0];
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\r'),
              std::count(c.err.begin(), c.err.end(), '\n'));
  }
  EXPECT_EQ(readFile(file("in.tc")), "old");
  // --yes replaces it.
  EXPECT_EQ(runCli({"encode", file("in"), "--password-file", file("pw"), "--yes"}).status, 0u);
  EXPECT_TRUE(readFile(file("in.tc")) == transformed(data_, key_, true));
}

TEST_F(CliProgramTest, EachFileOfAFolderGetsTheBytesOfASingleCommand) {
  ASSERT_TRUE(::CreateDirectoryW(wideOf(file("tree")).c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW(wideOf(file("tree\\sub")).c_str(), nullptr));
  writeFile(file("tree\\a"), data_);
  writeFile(file("tree\\sub\\b"), "b");
  writeFile(file("tree\\done.tc"), "encoded before");
  const CliRun run = runCli({"encode", "--each", "-r", file("tree"), "--password-file", file("pw")});
  EXPECT_EQ(run.status, 0u) << run.err;
  EXPECT_TRUE(readFile(file("tree\\a.tc")) == transformed(data_, key_, true));
  EXPECT_EQ(readFile(file("tree\\sub\\b.tc")), transformed("b", key_, true));
  EXPECT_NE(run.err.find("Encoded " + file("tree\\sub\\b") + " to " + file("tree\\sub\\b.tc") +
                         ", 1 byte\r\n2 encoded, 0 skipped, 0 failed\r\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(::GetFileAttributesW(wideOf(file("tree\\done.tc.tc")).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CliProgramTest, MakesAKeyFileThatEncodes) {
  const CliRun made = runCli({"genkey", file("k.mk")});
  ASSERT_EQ(made.status, 0u) << made.err;
  const std::string key = readFile(file("k.mk"));
  EXPECT_GE(key.size(), 2u);
  EXPECT_EQ(runCli({"encode", file("in"), "--key-file", file("k.mk")}).status, 0u);
  EXPECT_EQ(runCli({"decode", file("in.tc"), file("back"), "--key-file", file("k.mk")}).status, 0u);
  EXPECT_TRUE(readFile(file("back")) == data_);
}

}  // namespace
}  // namespace talvek::test
