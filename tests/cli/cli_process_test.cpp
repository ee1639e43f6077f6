// Runs the built talvek-cli as a process, as scripts and users do.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <set>

#include "temp_dir.h"

namespace talvek::test {
namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class CliProcessTest : public ::testing::Test {
 protected:
  CliProcessTest() { ::mkdir(dir_.file("tmp").c_str(), 0700); }

  std::vector<std::string> environment() const {
    return {"TMPDIR=" + dir_.file("tmp"), "HOME=" + dir_.path(), "LC_ALL=C"};
  }

  // Runs talvek-cli with `input` as standard input (a file, never a terminal).
  Outcome run(const std::vector<std::string>& args, const std::string& input = "") {
    writeFile(dir_.file(".stdin"), input);
    const pid_t pid = ::fork();
    if (pid == 0) {
      redirect(dir_.file(".stdin"), STDIN_FILENO, O_RDONLY);
      redirect(dir_.file(".stdout"), STDOUT_FILENO, O_WRONLY | O_CREAT | O_TRUNC);
      redirect(dir_.file(".stderr"), STDERR_FILENO, O_WRONLY | O_CREAT | O_TRUNC);
      exec(args);
    }
    Outcome outcome;
    outcome.status = waitFor(pid);
    outcome.out = readFile(dir_.file(".stdout"));
    outcome.err = readFile(dir_.file(".stderr"));
    return outcome;
  }

  static void redirect(const std::string& path, int fd, int flags) {
    const int opened = ::open(path.c_str(), flags, 0600);
    if (opened < 0 || ::dup2(opened, fd) < 0) ::_exit(126);
    ::close(opened);
  }

  void exec(const std::vector<std::string>& args) const {
    std::vector<std::string> env = environment();
    std::vector<char*> argv{const_cast<char*>(TALVEK_CLI_PATH)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    ::execve(TALVEK_CLI_PATH, argv.data(), envp.data());
    ::_exit(127);
  }

  static int waitFor(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }

  std::string file(const std::string& name) const { return dir_.file(name); }

  TempDir dir_;
};

constexpr char kPlainBytes[] = "Talvek\r\n\0\x1A\xFE data";
const std::string kPlain(kPlainBytes, sizeof(kPlainBytes) - 1);

TEST_F(CliProcessTest, PasswordRoundTripThroughAFileAndStandardInput) {
  writeFile(file("doc.txt"), kPlain);
  writeFile(file("pw"), "pass word\r\nsecond line ignored\n");
  Outcome encoded = run({"encode", file("doc.txt"), "--password-file", file("pw")});
  EXPECT_EQ(encoded.status, 0) << encoded.err;
  EXPECT_EQ(encoded.err, "");
  const std::string tc = readFile(file("doc.txt.tc"));
  EXPECT_EQ(tc.size(), kPlain.size());
  EXPECT_NE(tc, kPlain);

  Outcome decoded =
      run({"decode", file("doc.txt.tc"), file("back"), "--password-stdin"}, "pass word\n");
  EXPECT_EQ(decoded.status, 0) << decoded.err;
  EXPECT_EQ(readFile(file("back")), kPlain);

  // The proposed destination of an encoded file drops its ".tc".
  ::unlink(file("doc.txt").c_str());
  EXPECT_EQ(run({"decode", file("doc.txt.tc"), "--password-stdin"}, "pass word").status, 0);
  EXPECT_EQ(readFile(file("doc.txt")), kPlain);
}

TEST_F(CliProcessTest, GeneratedKeyRoundTripInPlace) {
  Outcome generated = run({"genkey", file("k.mk")});
  ASSERT_EQ(generated.status, 0) << generated.err;
  const std::string key = readFile(file("k.mk"));
  EXPECT_GE(key.size(), 2u);
  EXPECT_EQ(key.find_first_of("\r\n"), std::string::npos);

  writeFile(file("data"), kPlain);
  EXPECT_EQ(run({"encode", file("data"), file("data"), "--key-file", file("k.mk"), "--yes"}).status,
            0);
  EXPECT_NE(readFile(file("data")), kPlain);
  EXPECT_EQ(run({"decode", file("data"), file("data"), "--key-file", file("k.mk"), "-y"}).status,
            0);
  EXPECT_EQ(readFile(file("data")), kPlain);
  EXPECT_EQ(readFile(file("k.mk")), key);
}

TEST_F(CliProcessTest, WithoutATerminalAnExistingFileIsKeptUnlessYesIsGiven) {
  writeFile(file("in"), kPlain);
  writeFile(file("out"), "old");
  writeFile(file("pw"), "secret");
  Outcome refused = run({"encode", file("in"), file("out"), "--password-file", file("pw")}, "y\n");
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err.rfind("Warning: Destination file exists.\nOverwrite it? [y/N] ", 0), 0u)
      << refused.err;
  EXPECT_EQ(readFile(file("out")), "old");

  writeFile(file("k.mk"), "old key");
  Outcome keyRefused = run({"genkey", file("k.mk")});
  EXPECT_EQ(keyRefused.status, 1);
  EXPECT_EQ(keyRefused.err.rfind("Warning: File exists.\nOverwrite it?", 0), 0u);
  EXPECT_EQ(readFile(file("k.mk")), "old key");

  EXPECT_EQ(run({"encode", file("in"), file("out"), "--password-file", file("pw"), "--yes"}).status,
            0);
  EXPECT_EQ(readFile(file("out")).size(), kPlain.size());
  EXPECT_EQ(run({"genkey", file("k.mk"), "--yes"}).status, 0);
  EXPECT_NE(readFile(file("k.mk")), "old key");
}

TEST_F(CliProcessTest, RefusalsPrintTheDialogsWarningsInItsOrder) {
  writeFile(file("in"), kPlain);
  writeFile(file("k.mk"), "key");
  writeFile(file("pw"), "secret");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"encode", file("missing"), "--password-stdin"},
       "<Password #1> and <Password #2> are not acceptable!"},
      {{"encode", file("missing"), "--key-file", file("nokey")}, "Invalid Morva~Key!"},
      {{"encode", file("missing"), "--key-file", file("k.mk")}, "Invalid source!"},
      {{"encode", dir_.path(), "--password-file", file("pw")}, "Invalid source!"},
      {{"decode", file("in"), dir_.path(), "--password-file", file("pw")}, "Invalid destination!"},
      {{"encode", file("in"), file("k.mk"), "--key-file", file("k.mk"), "--yes"},
       "Invalid destination!"},
      {{"genkey", file("no/dir/k.mk")}, "Invalid path!"},
  };
  for (const auto& [args, text] : cases) {
    const Outcome outcome = run(args, "x\n");
    EXPECT_EQ(outcome.status, 1) << text;
    EXPECT_EQ(outcome.err, "Warning: " + text + "\n");
    EXPECT_EQ(outcome.out, "");
  }
  EXPECT_EQ(readFile(file("k.mk")), "key");
}

TEST_F(CliProcessTest, UsageErrorsHelpAndVersion) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"encrypt", "a"}, {"encode"}, {"encode", "a", "--key-file"}}) {
    const Outcome outcome = run(args);
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err.rfind("talvek-cli: ", 0), 0u);
  }
  writeFile(file("in"), kPlain);
  // No secret and no terminal to ask on.
  EXPECT_EQ(run({"encode", file("in")}).status, 2);
  EXPECT_EQ(run({"encode", file("in"), "--password-file", file("nopw")}).status, 2);

  const Outcome help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("talvek-cli encode SOURCE [DESTINATION]"), std::string::npos);
  const Outcome version = run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "talvek-cli 1.0.60\n");
}

TEST_F(CliProcessTest, AFailedJobExitsWithThree) {
  writeFile(file("in"), std::string(4096, 'x'));
  writeFile(file("pw"), "secret");
  // A write limit makes the job fail after every check has passed.
  const pid_t pid = ::fork();
  if (pid == 0) {
    redirect(file("pw"), STDIN_FILENO, O_RDONLY);
    redirect(file(".stderr"), STDERR_FILENO, O_WRONLY | O_CREAT | O_TRUNC);
    // Left at its default: the program itself must not die of it.
    ::signal(SIGXFSZ, SIG_DFL);
    const rlimit limit{1024, 1024};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    exec({"encode", file("in"), file("out"), "--password-stdin"});
  }
  EXPECT_EQ(waitFor(pid), 3);
  // The warning says which file and why.
  EXPECT_EQ(readFile(file(".stderr")), "Warning: The destination could not be written! (" +
                                           file("out") + ": File too large)\n");
  EXPECT_FALSE(pathExists(file("out")));
  EXPECT_EQ(entries(dir_.path()), (std::set<std::string>{".stderr", "in", "pw", "tmp"}));
}

// Reads from a pty master until `wanted` has appeared; false on end of
// output. The generous poll only guards against a hung child.
bool readUntil(int master, const std::string& wanted, std::string& seen) {
  while (seen.find(wanted) == std::string::npos) {
    pollfd p{master, POLLIN, 0};
    if (::poll(&p, 1, 30000) <= 0) return false;
    char buffer[256];
    const ssize_t got = ::read(master, buffer, sizeof(buffer));
    if (got <= 0) return false;
    seen.append(buffer, static_cast<size_t>(got));
  }
  return true;
}

TEST_F(CliProcessTest, OnATerminalPasswordsAreAskedWithoutEchoAndNoIsTheDefault) {
  writeFile(file("in"), kPlain);
  writeFile(file("in.tc"), "old");
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) exec({"encode", file("in")});

  std::string seen;
  ASSERT_TRUE(readUntil(master, "Password #1: ", seen)) << seen;
  ASSERT_EQ(::write(master, "hidden pw\n", 10), 10);
  ASSERT_TRUE(readUntil(master, "Password #2: ", seen)) << seen;
  ASSERT_EQ(::write(master, "hidden pw\n", 10), 10);
  ASSERT_TRUE(readUntil(master, "[y/N] ", seen)) << seen;
  ASSERT_EQ(::write(master, "\n", 1), 1);  // Enter takes the default
  std::string rest;
  readUntil(master, "\x01never", rest);
  ::close(master);
  EXPECT_EQ(waitFor(pid), 1);
  EXPECT_EQ((seen + rest).find("hidden pw"), std::string::npos) << "the password was echoed";
  EXPECT_EQ(readFile(file("in.tc")), "old");
}

// Waits until a file is created in one of the directories; false after a
// generous timeout that only guards against a hung child.
bool waitForCreation(const std::vector<std::string>& directories) {
  const int watch = ::inotify_init1(IN_CLOEXEC);
  if (watch < 0) return false;
  for (const std::string& dir : directories) ::inotify_add_watch(watch, dir.c_str(), IN_CREATE);
  pollfd p{watch, POLLIN, 0};
  const bool created = ::poll(&p, 1, 30000) == 1;
  ::close(watch);
  return created;
}

TEST_F(CliProcessTest, AStopSignalEndsTheJobLeavingNothingBehind) {
  const std::string big(96u << 20, 'b');
  writeFile(file("pw"), "secret");
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    // A new destination (a hidden file beside it) and one with a second name,
    // written in place (a working copy in the temporary directory).
    for (const bool linked : {false, true}) {
      SCOPED_TRACE(std::to_string(signal) + (linked ? " linked" : " new"));
      ASSERT_EQ(::mkdir(file("out").c_str(), 0755), 0);
      writeFile(file("out/in"), big);
      if (linked) {
        writeFile(file("out/in.tc"), "old");
        ASSERT_EQ(::link(file("out/in.tc").c_str(), file("second").c_str()), 0);
      }
      const pid_t pid = ::fork();
      if (pid == 0) {
        redirect(file("pw"), STDIN_FILENO, O_RDONLY);
        redirect(file(".stderr"), STDERR_FILENO, O_WRONLY | O_CREAT | O_TRUNC);
        exec({"encode", file("out/in"), "--password-stdin", "--yes"});
      }
      // Caught with its file just made, the job is stopped mid-way.
      ASSERT_TRUE(waitForCreation({file("out"), file("tmp")}));
      ::kill(pid, SIGSTOP);
      ::kill(pid, signal);
      ::kill(pid, SIGCONT);
      int status = 0;
      ASSERT_EQ(::waitpid(pid, &status, 0), pid);
      // Ended by the signal itself, so a shell reports 128 + its number.
      ASSERT_TRUE(WIFSIGNALED(status)) << status;
      EXPECT_EQ(WTERMSIG(status), signal);
      EXPECT_EQ(entries(file("tmp")), std::set<std::string>{});
      const std::set<std::string> expected =
          linked ? std::set<std::string>{"in", "in.tc"} : std::set<std::string>{"in"};
      EXPECT_EQ(entries(file("out")), expected);
      if (linked) {
        EXPECT_EQ(readFile(file("out/in.tc")), "old");
      }
      ::unlink(file("out/in").c_str());
      ::unlink(file("out/in.tc").c_str());
      ::unlink(file("second").c_str());
      ::rmdir(file("out").c_str());
    }
  }
}

}  // namespace
}  // namespace talvek::test
