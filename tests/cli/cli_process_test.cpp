// Runs the built talvek-cli as a process, as scripts and users do.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <termios.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <set>
#include <tuple>

#include "child_process.h"
#include "platform/posix/unique_fd.h"
#include "temp_dir.h"

namespace talvek::test {
namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class CliProcessTest : public ::testing::Test {
 public:
  // In a child on a new terminal; standard output goes to `output` if given.
  [[noreturn]] void execForTerminal(const std::vector<std::string>& args,
                                    const std::string& output) const {
    if (!output.empty()) redirect(output, STDOUT_FILENO, O_WRONLY | O_CREAT | O_TRUNC);
    exec(args);
  }

 protected:
  CliProcessTest() { ::mkdir(dir_.file("tmp").c_str(), 0700); }

  std::vector<std::string> environment() const {
    return {"TMPDIR=" + dir_.file("tmp"), "HOME=" + dir_.path(),
            "XDG_STATE_HOME=" + dir_.file("state"), "LC_ALL=" + locale_};
  }
  // Where in-place jobs keep their journals, made by the first of them.
  std::string journals() const { return dir_.file("state/Brellam/Talvek"); }

  // Runs talvek-cli with `input` as standard input (a file, or a pipe with
  // pipedInput_, never a terminal) and its output in files; `asUser`, when
  // set, switches to that user first.
  Outcome run(const std::vector<std::string>& args, const std::string& input = "",
              const std::function<bool()>& asUser = {}) {
    writeFile(dir_.file(".stdin"), input);
    int ends[2] = {-1, -1};
    if (pipedInput_ && ::pipe2(ends, O_CLOEXEC) != 0) return {};
    const pid_t pid = start(args, [&] {
      if (pipedInput_) {
        if (::dup2(ends[0], STDIN_FILENO) < 0) ::_exit(126);
      } else {
        redirect(dir_.file(".stdin"), STDIN_FILENO, O_RDONLY);
      }
      redirect(dir_.file(".stdout"), STDOUT_FILENO, O_WRONLY | O_CREAT | O_TRUNC);
      if (asUser && !asUser()) ::_exit(125);
    });
    if (pipedInput_) {
      ::close(ends[0]);
      // A program that stops reading early must not end this one by SIGPIPE.
      const auto previous = ::signal(SIGPIPE, SIG_IGN);
      (void)writeAll(ends[1], input.data(), input.size());
      ::close(ends[1]);
      ::signal(SIGPIPE, previous);
    }
    Outcome outcome;
    outcome.status = waitFor(pid);
    outcome.out = readFile(dir_.file(".stdout"));
    outcome.err = readFile(dir_.file(".stderr"));
    return outcome;
  }

  // Starts talvek-cli in a child with its standard error in the file
  // .stderr; `prepare`, run in the child next, sets up the rest (the other
  // standard streams, a limit, a signal, the user).
  pid_t start(const std::vector<std::string>& args, const std::function<void()>& prepare = {}) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      redirect(dir_.file(".stderr"), STDERR_FILENO, O_WRONLY | O_CREAT | O_TRUNC);
      if (prepare) prepare();
      exec(args);
    }
    return pid;
  }

  static void redirect(const std::string& path, int fd, int flags) {
    const int opened = ::open(path.c_str(), flags, 0600);
    if (opened < 0 || ::dup2(opened, fd) < 0) ::_exit(126);
    ::close(opened);
  }

  [[noreturn]] void exec(const std::vector<std::string>& args) const {
    std::vector<std::string> env = environment();
    std::vector<char*> argv{const_cast<char*>(program_.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    ::execve(program_.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }

  // Runs a copy of talvek-cli from the test's own directory, which another
  // user can reach whatever the build tree's place (a checkout under /root).
  void runACopyOfTheProgram() {
    const std::string copy = dir_.file("talvek-cli");
    writeFile(copy, readFile(TALVEK_CLI_PATH));
    ASSERT_EQ(::chmod(copy.c_str(), 0755), 0);
    program_ = copy;
  }

  static int waitFor(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }

  std::string file(const std::string& name) const { return dir_.file(name); }

  TempDir dir_;
  std::string program_ = TALVEK_CLI_PATH;
  std::string locale_ = "C";
  bool pipedInput_ = false;
};

// Over talvek-cli's progress bar threshold.
constexpr size_t kBigFile = (8u << 20) + 1;

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
      {{"encode", file("in"), file("pw"), "--password-file", file("pw"), "--yes"},
       "Invalid destination!"},
      // An empty path is given, not omitted.
      {{"encode", file("in"), "", "--password-file", file("pw")}, "Invalid destination!"},
      {{"decode", "", file("out"), "--password-file", file("pw")}, "Invalid source!"},
      {{"encode", "-", dir_.path(), "--password-file", file("pw")}, "Invalid destination!"},
      // Without a terminal for the password, the paths are still checked first.
      {{"encode", file("missing")}, "Invalid source!"},
      {{"decode", file("in"), dir_.path(), "--quiet"}, "Invalid destination!"},
      {{"genkey", file("no/dir/k.mk")}, "Invalid path!"},
  };
  for (const auto& [args, text] : cases) {
    const Outcome outcome = run(args, "x\n");
    EXPECT_EQ(outcome.status, 1) << text;
    EXPECT_EQ(outcome.err, "Warning: " + text + "\n");
    EXPECT_EQ(outcome.out, "");
  }
  EXPECT_EQ(readFile(file("k.mk")), "key");
  EXPECT_EQ(readFile(file("pw")), "secret");
}

TEST_F(CliProcessTest, UsageErrorsHelpAndVersion) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"encrypt", "a"}, {"encode"}, {"encode", "a", "--key-file"}}) {
    const Outcome outcome = run(args);
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err.rfind("talvek-cli: ", 0), 0u);
  }
  writeFile(file("in"), kPlain);
  // No secret and no terminal to ask on, once the paths are right.
  const Outcome noTerminal = run({"encode", file("in"), "-", "--yes"});
  EXPECT_EQ(noTerminal.status, 2);
  EXPECT_EQ(noTerminal.err.rfind("talvek-cli: no terminal to ask for the password on; give ", 0),
            0u);
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"encode", file("in"), "--password-file", file("nopw")},
       "cannot read the password file '" + file("nopw") + "': No such file or directory"},
      // A name that would act on the terminal is quoted as the shell would.
      {{"encode", file("in"), "--password-file", file("no\npw\x1B[1m")},
       "password file '" + file("no") + "'$'\\n''pw'$'\\033''[1m': No such file"},
      {{"encode", file("in"), "--bad\roption"}, "unknown option '--bad'$'\\r''option'\n"},
      {{"encode", file("in"), "--password-file", "/dev/zero"}, "is longer than 1 MiB"},
      {{"encode", file("in"), "--password-stdin"}, "is longer than 1 MiB"},
      {{"decode", file("in")}, "decode needs a DESTINATION"},
      {{"encode", file("in"), "--password-stdin", "--password-charset", "NO-SUCH-SET"},
       "to 'NO-SUCH-SET'"},
  };
  for (const auto& [args, text] : cases) {
    const Outcome outcome = run(args, std::string((1 << 20) + 1, 'p'));
    EXPECT_EQ(outcome.status, 2) << text;
    EXPECT_NE(outcome.err.find(text), std::string::npos) << outcome.err;
  }
  // A line of the longest length is a password like any other, with either
  // line end, from a file or a pipe (read byte by byte).
  for (const bool piped : {false, true}) {
    pipedInput_ = piped;
    for (const char* end : {"\n", "\r\n"}) {
      EXPECT_EQ(run({"encode", file("in"), file("out"), "--password-stdin", "--yes"},
                    std::string(1 << 20, 'p') + end + "rest")
                    .status,
                0)
          << piped;
    }
    EXPECT_EQ(run({"encode", file("in"), file("out"), "--password-stdin", "--yes"},
                  std::string((1 << 20) + 1, 'p') + "\n")
                  .status,
              2)
        << piped;
  }
  pipedInput_ = false;

  const Outcome help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("talvek-cli encode SOURCE [DESTINATION]"), std::string::npos);
  const Outcome version = run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "talvek-cli 1.0.60\n");
}

// With SOURCE -, a secret file that is standard input would take the secret
// from the data: refused before anything is read, however it is named.
TEST_F(CliProcessTest, ASecretFileThatIsTheDataIsRefusedUnread) {
  const std::string data = "pass word\n" + kPlain;
  writeFile(file("data"), data);
  ASSERT_EQ(::link(file("data").c_str(), file("other name").c_str()), 0);
  struct Case {
    bool piped;  // standard input a pipe, else the file data
    const char* option;
    std::string path;
  };
  const Case cases[] = {
      {true, "--password-file", "/dev/stdin"},
      {true, "--password-file", "/proc/self/fd/0"},
      {true, "--key-file", "/dev/stdin"},
      {false, "--password-file", file("data")},
      {false, "--password-file", file("other name")},
      {false, "--key-file", file("data")},
      {false, "--key-file", "/proc/self/fd/0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.piped ? "pipe, " : "file, ") + c.option + " " + c.path);
    UniqueFd input;
    if (c.piped) {
      int ends[2];
      ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
      input.reset(ends[0]);
      // Fits the pipe: all of it waits there unless the program reads it.
      ASSERT_TRUE(writeAll(ends[1], data.data(), data.size()));
      ::close(ends[1]);
    } else {
      input.reset(::open(file("data").c_str(), O_RDONLY | O_CLOEXEC));
      ASSERT_TRUE(input.valid());
    }
    const pid_t pid = start({"encode", "-", file("out"), c.option, c.path},
                            [&input] { ::dup2(input.get(), STDIN_FILENO); });
    EXPECT_EQ(waitFor(pid), 2);
    const std::string secret = c.option == std::string("--key-file") ? "key" : "password";
    EXPECT_EQ(readFile(file(".stderr")).rfind("talvek-cli: the " + secret + " file '" + c.path +
                                                  "' is standard input, which carries the data",
                                              0),
              0u)
        << readFile(file(".stderr"));
    EXPECT_FALSE(pathExists(file("out")));
    if (c.piped) {
      std::string left(data.size() + 1, '\0');
      EXPECT_EQ(::read(input.get(), left.data(), left.size()), static_cast<ssize_t>(data.size()));
    } else {
      EXPECT_EQ(::lseek(input.get(), 0, SEEK_CUR), 0);
    }
  }
  const Outcome fromStdin = run({"encode", "-", file("out"), "--password-stdin"}, data);
  EXPECT_EQ(fromStdin.status, 2);
  EXPECT_NE(fromStdin.err.find("--password-stdin cannot be used when SOURCE is -"),
            std::string::npos);
  EXPECT_FALSE(pathExists(file("out")));
  // With a named SOURCE standard input carries no data and may hold the password.
  const Outcome named =
      run({"encode", file("data"), file("out"), "--password-file", "/dev/stdin"}, "pass word\n");
  EXPECT_EQ(named.status, 0) << named.err;
  EXPECT_TRUE(pathExists(file("out")));
}

TEST_F(CliProcessTest, AFailedJobExitsWithThree) {
  writeFile(file("in"), std::string(4096, 'x'));
  writeFile(file("pw"), "secret");
  // A write limit makes the job fail after every check has passed.
  const pid_t pid = start({"encode", file("in"), file("out"), "--password-stdin"}, [this] {
    redirect(file("pw"), STDIN_FILENO, O_RDONLY);
    // Left at its default: the program itself must not die of it.
    ::signal(SIGXFSZ, SIG_DFL);
    const rlimit limit{1024, 1024};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  });
  EXPECT_EQ(waitFor(pid), 3);
  // The warning says which file and why.
  EXPECT_EQ(readFile(file(".stderr")), "Warning: The destination could not be written! (" +
                                           file("out") + ": File too large)\n");
  EXPECT_FALSE(pathExists(file("out")));
  EXPECT_EQ(entries(dir_.path()), (std::set<std::string>{".stderr", "in", "pw", "tmp"}));
}

// --each and -r write what one command per file writes; a failure in the
// middle ends nothing, and what the command is not for is left alone.
TEST_F(CliProcessTest, EachFileOfARunIsWrittenAsASingleCommandWritesIt) {
  for (const char* folder : {"tree", "tree/m", "tree/m/deep", "single"}) {
    ASSERT_EQ(::mkdir(file(folder).c_str(), 0755), 0);
  }
  writeFile(file("pw"), "pass word");
  const std::vector<std::pair<std::string, std::string>> plain = {
      {"x.txt", kPlain}, {"tree/a.txt", "alpha"}, {"tree/m/z.doc", std::string(5000, 'z')},
      {"tree/m/deep/last", kPlain + kPlain}};
  for (const auto& [name, bytes] : plain) writeFile(file(name), bytes);
  // Over the write limit below: its job fails.
  writeFile(file("tree/m/big"), std::string(100000, 'b'));
  writeFile(file("tree/old.tc"), "already encoded");
  writeFile(file("tree/.a.txt.Xy12ab"), "a file the program is writing");
  ASSERT_EQ(::symlink("a.txt", file("tree/link").c_str()), 0);
  ASSERT_EQ(::mkfifo(file("tree/fifo").c_str(), 0600), 0);

  const pid_t pid = start({"encode", "--each", file("x.txt"), "-r", file("tree"), file("x.txt"),
                           "--password-file", file("pw")},
                          [] {
                            ::signal(SIGXFSZ, SIG_DFL);
                            const rlimit limit{65536, 65536};
                            ::setrlimit(RLIMIT_FSIZE, &limit);
                          });
  EXPECT_EQ(waitFor(pid), 3);
  const std::string err = readFile(file(".stderr"));
  EXPECT_NE(err.find(file("tree/m/big") +
                     ": Warning: The destination could not be written! (" +
                     file("tree/m/big.tc") + ": File too large)\n"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("Encoded " + file("tree/m/z.doc") + " to " + file("tree/m/z.doc.tc") +
                     ", 5.0 kB\n"),
            std::string::npos)
      << err;
  EXPECT_EQ(err.substr(err.rfind('\n', err.size() - 2) + 1), "4 encoded, 0 skipped, 1 failed\n");
  for (const auto& [name, bytes] : plain) {
    SCOPED_TRACE(name);
    writeFile(file("single/in"), bytes);
    ASSERT_EQ(run({"encode", file("single/in"), "--password-file", file("pw")}).status, 0);
    EXPECT_EQ(readFile(file(name + ".tc")), readFile(file("single/in.tc")));
    ::unlink(file("single/in.tc").c_str());
  }
  EXPECT_EQ(entries(file("tree")),
            (std::set<std::string>{".a.txt.Xy12ab", "a.txt", "a.txt.tc", "fifo", "link", "m",
                                   "old.tc"}));
  EXPECT_FALSE(pathExists(file("tree/m/big.tc")));

  // Back again, over what is there. A named link to a folder is followed,
  // and the files it reaches again are taken once.
  for (const auto& [name, bytes] : plain) ::unlink(file(name).c_str());
  ASSERT_EQ(::symlink("tree", file("again").c_str()), 0);
  const Outcome decoded = run({"decode", "--each", "-r", file("tree"), file("x.txt.tc"),
                               file("tree/m/z.doc"), file("again"), "--password-file", file("pw"),
                               "--yes"});
  EXPECT_EQ(decoded.status, 1) << decoded.err;
  for (const auto& [name, bytes] : plain) EXPECT_EQ(readFile(file(name)), bytes) << name;
  EXPECT_NE(decoded.err.find(file("tree/m/z.doc") +
                             ": Warning: Skipped: the name does not end in .tc\n"),
            std::string::npos)
      << decoded.err;
  EXPECT_NE(decoded.err.find("\n5 decoded, 1 skipped, 0 failed\n"), std::string::npos)
      << decoded.err;
  EXPECT_EQ(readFile(file("tree/.a.txt.Xy12ab")), "a file the program is writing");

  // The key's own file is never taken.
  writeFile(file("tree/k.tc"), "key file");
  const Outcome key = run({"decode", "--each", "-r", file("tree"), "--key-file", file("tree/k.tc"),
                           "--quiet"});
  EXPECT_EQ(key.status, 1);
  EXPECT_NE(key.err.find(file("tree/k.tc") + ": Warning: Skipped: the key file in use\n"),
            std::string::npos)
      << key.err;
  EXPECT_EQ(readFile(file("tree/k.tc")), "key file");
}

TEST_F(CliProcessTest, FiltersWriteTheBytesOfTheFileJob) {
  writeFile(file("in"), kPlain);
  writeFile(file("pw"), "pass word");
  ASSERT_EQ(run({"encode", file("in"), file("in.tc"), "--password-file", file("pw")}).status, 0);
  const std::string encoded = readFile(file("in.tc"));
  const std::vector<std::tuple<std::vector<std::string>, std::string, std::string>> cases = {
      {{"encode", "-", "-"}, kPlain, encoded},
      {{"encode", "-"}, kPlain, encoded},  // SOURCE - writes standard output by default
      {{"decode", "-"}, encoded, kPlain},
      {{"decode", file("in.tc"), "-"}, "", kPlain},
  };
  for (const auto& [args, input, output] : cases) {
    std::vector<std::string> full = args;
    full.insert(full.end(), {"--password-file", file("pw")});
    const Outcome outcome = run(full, input);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    EXPECT_TRUE(outcome.out == output) << ::testing::PrintToString(args);
  }
  const Outcome toFile = run({"decode", "-", file("back"), "--password-file", file("pw")}, encoded);
  EXPECT_EQ(toFile.status, 0) << toFile.err;
  EXPECT_EQ(readFile(file("back")), kPlain);
  EXPECT_EQ(entries(file("tmp")), std::set<std::string>{});
}

TEST_F(CliProcessTest, AFilterWhoseReaderWentAwayEndsBySigpipeQuietly) {
  writeFile(file("in"), std::string(1 << 20, 'x'));
  writeFile(file("pw"), "pass word");
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const pid_t pid = start({"encode", file("in"), "-", "--password-file", file("pw")}, [&ends] {
    ::dup2(ends[1], STDOUT_FILENO);
    ::close(ends[0]);
    ::close(ends[1]);
  });
  ::close(ends[0]);
  ::close(ends[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE) << status;
  EXPECT_EQ(readFile(file(".stderr")), "");
}

TEST_F(CliProcessTest, ASignalStopsAStreamAndLeavesNoFileBehind) {
  writeFile(file("pw"), "pass word");
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const pid_t pid = start({"encode", "-", file("out"), "--password-file", file("pw")}, [&ends] {
    ::dup2(ends[0], STDIN_FILENO);
    ::close(ends[0]);
    ::close(ends[1]);
  });
  // Some data, then a pipe that stays open and quiet. Once the data is read,
  // the job writes it into its unnamed file and waits for more.
  ASSERT_EQ(::write(ends[1], "some bytes", 10), 10);
  int unread = 10;
  for (int i = 0; i < 3000 && unread > 0; ++i) {
    ASSERT_EQ(::ioctl(ends[0], FIONREAD, &unread), 0);
    if (unread > 0) ::usleep(10000);
  }
  EXPECT_EQ(unread, 0) << "the job reading the stream";
  ::close(ends[0]);
  ::kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ::close(ends[1]);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  // Nothing of the stream anywhere: not in the temporary directory, not
  // beside the destination.
  EXPECT_EQ(entries(file("tmp")), std::set<std::string>{});
  EXPECT_EQ(entries(dir_.path()), (std::set<std::string>{".stderr", "pw", "tmp"}));
  EXPECT_FALSE(pathExists(file("out")));
  EXPECT_EQ(readFile(file(".stderr")), "");
}

TEST_F(CliProcessTest, AFailedWriteToStandardOutputSaysWhy) {
  writeFile(file("in"), kPlain);
  writeFile(file("pw"), "pass word");
  const pid_t pid = start({"encode", file("in"), "-", "--password-file", file("pw")},
                          [] { redirect("/dev/full", STDOUT_FILENO, O_WRONLY); });
  EXPECT_EQ(waitFor(pid), 3);
  EXPECT_EQ(readFile(file(".stderr")),
            "Warning: The destination could not be written! (standard output: No space left on "
            "device)\n");
}

TEST_F(CliProcessTest, APasswordCharsetGivesTheBytesOfThatSet) {
  writeFile(file("in"), kPlain);
  writeFile(file("pw-utf8"), "caf\xC3\xA9 \xE2\x82\xAC");
  writeFile(file("pw-1252"), "caf\xE9 \x80");
  locale_ = "C.UTF-8";
  ASSERT_EQ(run({"encode", file("in"), file("a"), "--password-file", file("pw-1252")}).status, 0);
  const Outcome converted = run({"encode", file("in"), file("b"), "--password-file",
                                 file("pw-utf8"), "--password-charset", "WINDOWS-1252"});
  ASSERT_EQ(converted.status, 0) << converted.err;
  EXPECT_EQ(readFile(file("a")), readFile(file("b")));
  // Bytes that are not text in the locale's set convert to nothing.
  locale_ = "C";
  const Outcome refused = run({"encode", file("in"), file("c"), "--password-file", file("pw-utf8"),
                               "--password-charset", "WINDOWS-1252"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "Warning: <Password #1> cannot be converted to WINDOWS-1252!\n");
}

TEST_F(CliProcessTest, PermissionsHoldForAnUnprivilegedUser) {
  // Root may write anywhere: these cases only mean something for a user.
  const auto asNobody = [] { return ::geteuid() != 0 || becomeNobody(); };
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);
  runACopyOfTheProgram();
  const std::string home = file("nobody");
  ASSERT_EQ(::mkdir(home.c_str(), 0700), 0);
  ASSERT_EQ(::mkdir((home + "/ro").c_str(), 0700), 0);
  writeFile(home + "/in", kPlain);
  writeFile(home + "/pw", "pass word");
  writeFile(home + "/readonly", "old");
  writeFile(home + "/secret", "not for nobody");
  for (const char* name : {"", "/ro", "/in", "/pw", "/readonly"}) {
    ASSERT_EQ(::chown((home + name).c_str(), kNobody, kNobody), 0) << name;
  }
  ASSERT_EQ(::chmod((home + "/readonly").c_str(), 0444), 0);
  ASSERT_EQ(::chmod((home + "/ro").c_str(), 0555), 0);
  ASSERT_EQ(::chmod((home + "/secret").c_str(), 0600), 0);
  ASSERT_EQ(::chmod(file("tmp").c_str(), 01777), 0);
  const std::string pw = home + "/pw";

  Outcome replaced = run(
      {"encode", home + "/in", home + "/readonly", "--password-file", pw, "--yes"}, "", asNobody);
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_EQ(readFile(home + "/readonly").size(), kPlain.size());
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"encode", home + "/in", home + "/ro/out", "--password-file", pw},
           {"encode", "-", home + "/ro/out", "--password-file", pw}}) {
    const Outcome refused = run(args, kPlain, asNobody);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "Warning: Invalid destination!\n");
  }
  const Outcome unreadable =
      run({"encode", home + "/secret", home + "/out", "--password-file", pw}, "", asNobody);
  EXPECT_EQ(unreadable.status, 3);
  EXPECT_EQ(unreadable.err.rfind("Warning: ", 0), 0u) << unreadable.err;
  EXPECT_FALSE(pathExists(home + "/out"));
  EXPECT_EQ(entries(home + "/ro"), std::set<std::string>{});
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

bool echoing(int master) {
  termios settings{};
  return ::tcgetattr(master, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
}

// talvek-cli on a new pseudo-terminal, as someone at a terminal runs it.
class OnATerminal {
 public:
  OnATerminal(CliProcessTest& test, const std::vector<std::string>& args,
              const std::string& output = "") {
    pid_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) test.execForTerminal(args, output);
  }
  ~OnATerminal() {
    if (master_ >= 0) ::close(master_);
    if (pid_ > 0 && !waited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  int master() const { return master_; }
  bool waitFor(const std::string& text) { return readUntil(master_, text, seen_); }
  void type(const std::string& text) {
    ASSERT_EQ(::write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  // Everything shown until the program ended, and how it ended.
  int finish() {
    std::string rest;
    readUntil(master_, "\x01never", rest);
    seen_ += rest;
    int status = 0;
    waited_ = ::waitpid(pid_, &status, 0) == pid_;
    return status;
  }
  const std::string& seen() const { return seen_; }

 private:
  int master_ = -1;
  pid_t pid_ = -1;
  bool waited_ = false;
  std::string seen_;
};

TEST_F(CliProcessTest, OnATerminalPasswordsAreAskedWithoutEchoAndNoIsTheDefault) {
  writeFile(file("in"), kPlain);
  writeFile(file("in.tc"), "old");
  OnATerminal terminal(*this, {"encode", file("in")});
  ASSERT_TRUE(terminal.started());
  ASSERT_TRUE(terminal.waitFor("Password #1: ")) << terminal.seen();
  EXPECT_FALSE(echoing(terminal.master()));
  terminal.type("hidden pw\n");
  ASSERT_TRUE(terminal.waitFor("Password #2: ")) << terminal.seen();
  terminal.type("hidden pw\n");
  ASSERT_TRUE(terminal.waitFor("[y/N] ")) << terminal.seen();
  EXPECT_TRUE(echoing(terminal.master())) << "echo must be back after the passwords";
  terminal.type("\n");  // Enter takes the default
  const int status = terminal.finish();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
  EXPECT_EQ(terminal.seen().find("hidden pw"), std::string::npos) << "the password was echoed";
  EXPECT_EQ(readFile(file("in.tc")), "old");
}

TEST_F(CliProcessTest, OnATerminalDecodeAsksForThePasswordOnce) {
  writeFile(file("in"), kPlain);
  writeFile(file("pw"), "pass word");
  ASSERT_EQ(run({"encode", file("in"), "--password-file", file("pw")}).status, 0);
  ::unlink(file("in").c_str());
  OnATerminal terminal(*this, {"decode", file("in.tc")});
  ASSERT_TRUE(terminal.waitFor("Password #1: ")) << terminal.seen();
  terminal.type("pass word\n");
  const int status = terminal.finish();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << terminal.seen();
  EXPECT_EQ(terminal.seen().find("Password #2"), std::string::npos);
  EXPECT_EQ(readFile(file("in")), kPlain);
  // What was written, and what it looks like: bytes of no known kind.
  EXPECT_NE(terminal.seen().find("\r\nDecoded " + file("in.tc") + " to " + file("in") +
                                 ", " + std::to_string(kPlain.size()) + " bytes: data\r\n"),
            std::string::npos)
      << terminal.seen();
}

TEST_F(CliProcessTest, AnInterruptedPasswordPromptGivesTheEchoBack) {
  writeFile(file("in"), kPlain);
  OnATerminal terminal(*this, {"encode", file("in")});
  ASSERT_TRUE(terminal.waitFor("Password #1: ")) << terminal.seen();
  ASSERT_FALSE(echoing(terminal.master()));
  terminal.type("\x03");  // Ctrl+C
  const int status = terminal.finish();
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  EXPECT_TRUE(echoing(terminal.master()));
}

TEST_F(CliProcessTest, AHangUpIgnoredByTheCallerDoesNotEndThePasswordPrompt) {
  writeFile(file("in"), kPlain);
  // As under nohup: the program starts with SIGHUP ignored.
  const auto previous = ::signal(SIGHUP, SIG_IGN);
  OnATerminal terminal(*this, {"encode", file("in"), file("out")});
  ::signal(SIGHUP, previous);
  ASSERT_TRUE(terminal.waitFor("Password #1: ")) << terminal.seen();
  ::kill(terminal.pid(), SIGHUP);
  terminal.type("pass word\n");
  ASSERT_TRUE(terminal.waitFor("Password #2: ")) << terminal.seen();
  terminal.type("pass word\n");
  const int status = terminal.finish();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << terminal.seen();
  EXPECT_EQ(readFile(file("out")).size(), kPlain.size());
}

TEST_F(CliProcessTest, OnATerminalQuietModeShowsNothingAndAsksNothing) {
  // Big enough for the progress bar, which shows without --quiet.
  writeFile(file("big"), std::string(kBigFile, 'b'));
  writeFile(file("pw"), "pass word");
  OnATerminal loud(*this, {"encode", file("big"), file("loud.tc"), "--password-file", file("pw")});
  EXPECT_EQ(loud.finish(), 0);
  EXPECT_NE(loud.seen().find("100%"), std::string::npos) << loud.seen();

  OnATerminal quietLater(
      *this, {"encode", file("big"), file("q2.tc"), "--password-file", file("pw"), "-q"});
  EXPECT_EQ(quietLater.finish(), 0);
  EXPECT_EQ(quietLater.seen(), "");
  EXPECT_EQ(readFile(file("q2.tc")), readFile(file("loud.tc")));

  OnATerminal noPassword(*this, {"encode", file("big"), "--quiet"});
  EXPECT_EQ(noPassword.finish(), 2 << 8);
  EXPECT_EQ(noPassword.seen().find("Password"), std::string::npos) << noPassword.seen();
  OnATerminal noQuestion(
      *this, {"encode", file("big"), file("q2.tc"), "-q", "--password-file", file("pw")});
  EXPECT_EQ(noQuestion.finish(), 1 << 8);
  EXPECT_NE(noQuestion.seen().find("n (--quiet asks nothing; --yes answers yes)"),
            std::string::npos)
      << noQuestion.seen();
}

TEST_F(CliProcessTest, OnATerminalAFilterShowsProgressOnlyWhenItsOutputIsAFile) {
  writeFile(file("big"), std::string(kBigFile, 'b'));
  writeFile(file("pw"), "pass word");
  // Standard output redirected while standard error stays on the terminal.
  // Not a regular file (a pipe, a pager, here a device): no bar in the way.
  for (const auto& [output, bar] :
       std::vector<std::pair<std::string, bool>>{{file("out.tc"), true}, {"/dev/null", false}}) {
    OnATerminal terminal(*this, {"encode", file("big"), "-", "--password-file", file("pw")},
                         output);
    EXPECT_EQ(terminal.finish(), 0) << terminal.seen();
    EXPECT_EQ(terminal.seen().find("100%") != std::string::npos, bar) << terminal.seen();
  }
  EXPECT_EQ(readFile(file("out.tc")).size(), kBigFile);
}

TEST_F(CliProcessTest, EncodedBytesAreNeverWrittenToATerminal) {
  writeFile(file("in"), kPlain);
  writeFile(file("pw"), "pass word");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"encode", file("in"), "-", "--password-file", file("pw")},
           {"decode", "-", "--password-file", file("pw")}}) {
    OnATerminal terminal(*this, args);
    EXPECT_EQ(terminal.finish(), 2 << 8);
    EXPECT_NE(terminal.seen().find("data is not written to a terminal"), std::string::npos)
        << terminal.seen();
  }
}

// Watches directories for new files, set up before a child starts so that
// none of its files is missed.
// Tells when a job is under way: it has started to read its source. (Its
// result has no name while it is written, so nothing else shows.)
class ReadWatch {
 public:
  explicit ReadWatch(const std::string& source) : fd_(::inotify_init1(IN_CLOEXEC)) {
    ::inotify_add_watch(fd_, source.c_str(), IN_ACCESS);
  }
  ~ReadWatch() {
    if (fd_ >= 0) ::close(fd_);
  }
  ReadWatch(const ReadWatch&) = delete;
  ReadWatch& operator=(const ReadWatch&) = delete;

  // Waits until the file is read; false after a generous timeout that only
  // guards against a hung child.
  bool waitForRead() {
    alignas(inotify_event) char buffer[4096];
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 30000) == 1 && ::read(fd_, buffer, sizeof buffer) > 0;
  }

 private:
  int fd_;
};

TEST_F(CliProcessTest, AStopSignalEndsTheJobLeavingNothingBehind) {
  const std::string big(96u << 20, 'b');
  writeFile(file("pw"), "secret");
  // The size of the destination, or -1 when there is none.
  const auto destinationSize = [this] {
    struct stat st;
    return ::stat(file("out/in.tc").c_str(), &st) == 0 ? static_cast<off_t>(st.st_size) : -1;
  };
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    // A new destination (an unnamed file beside it) and one with a second
    // name, written in place (its old bytes kept in a journal).
    for (const bool linked : {false, true}) {
      SCOPED_TRACE(std::to_string(signal) + (linked ? " linked" : " new"));
      // On a busy machine the job may end before the signal comes: its
      // complete result is then right but shows nothing, so it runs again.
      bool stoppedMidway = false;
      for (int attempt = 0; attempt < 5 && !stoppedMidway; ++attempt) {
        ASSERT_EQ(::mkdir(file("out").c_str(), 0755), 0);
        writeFile(file("out/in"), big);
        if (linked) {
          writeFile(file("out/in.tc"), "old");
          ASSERT_EQ(::link(file("out/in.tc").c_str(), file("second").c_str()), 0);
          // Made writable for the job, and read-only again once it stopped.
          ASSERT_EQ(::chmod(file("out/in.tc").c_str(), 0444), 0);
        }
        ReadWatch watch(file("out/in"));
        const pid_t pid = start({"encode", file("out/in"), "--password-stdin", "--yes"},
                                [this] { redirect(file("pw"), STDIN_FILENO, O_RDONLY); });
        // Caught as it starts to read, the job is stopped mid-way.
        ASSERT_TRUE(watch.waitForRead());
        ::kill(pid, SIGSTOP);
        ::kill(pid, signal);
        ::kill(pid, SIGCONT);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_EQ(entries(file("tmp")), std::set<std::string>{});
        EXPECT_EQ(entries(journals()), std::set<std::string>{});
        stoppedMidway = destinationSize() != static_cast<off_t>(big.size());
        const bool endedBySignal = WIFSIGNALED(status) && WTERMSIG(status) == signal;
        if (stoppedMidway) {
          // Ended by the signal itself, so a shell reports 128 + its number.
          EXPECT_TRUE(endedBySignal) << status;
        } else {
          // Done before the signal came, or while it came after the last
          // moment to stop: a complete job is a success.
          EXPECT_TRUE(endedBySignal || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << status;
        }
        const std::set<std::string> expected = linked || !stoppedMidway
                                                   ? std::set<std::string>{"in", "in.tc"}
                                                   : std::set<std::string>{"in"};
        EXPECT_EQ(entries(file("out")), expected);
        if (linked && stoppedMidway) {
          EXPECT_EQ(readFile(file("out/in.tc")), "old");
          struct stat st;
          ASSERT_EQ(::stat(file("out/in.tc").c_str(), &st), 0);
          EXPECT_EQ(st.st_mode & 0777, 0444u);
        }
        ::unlink(file("out/in").c_str());
        ::unlink(file("out/in.tc").c_str());
        ::unlink(file("second").c_str());
        ::rmdir(file("out").c_str());
      }
      EXPECT_TRUE(stoppedMidway) << "every job ended before its signal came";
    }
  }
}

// A stop signal stops the file being written, which keeps nothing of the
// job, and ends the run before the next file.
TEST_F(CliProcessTest, AStopSignalEndsARunOfManyFilesAfterItsCleanUp) {
  const std::string big(96u << 20, 's');
  writeFile(file("pw"), "secret");
  for (const char* name : {"1", "2", "3"}) writeFile(file(name), big);
  bool stoppedMidway = false;
  for (int attempt = 0; attempt < 5 && !stoppedMidway; ++attempt) {
    ::unlink(file("1.tc").c_str());
    ::unlink(file("2.tc").c_str());
    ReadWatch watch(file("2"));
    const pid_t pid = start({"encode", "--each", file("1"), file("2"), file("3"),
                             "--password-file", file("pw")});
    ASSERT_TRUE(watch.waitForRead());
    ::kill(pid, SIGSTOP);
    ::kill(pid, SIGTERM);
    ::kill(pid, SIGCONT);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    stoppedMidway = !pathExists(file("2.tc"));
    if (!stoppedMidway) continue;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(readFile(file("1.tc")).size(), big.size());
    EXPECT_FALSE(pathExists(file("3.tc")));
    const std::string err = readFile(file(".stderr"));
    EXPECT_NE(err.find("1 encoded, 0 skipped, 0 failed, 2 not reached\n"), std::string::npos)
        << err;
    EXPECT_EQ(entries(file("tmp")), std::set<std::string>{});
  }
  EXPECT_TRUE(stoppedMidway) << "every job ended before its signal came";
}

TEST_F(CliProcessTest, TheNextStartUndoesAKilledJobAndSaysSo) {
  // A destination with a second name is written in place; the job is killed
  // once it reads its source, by when its journal is sealed.
  ASSERT_EQ(::mkdir(file("out").c_str(), 0755), 0);
  writeFile(file("out/in"), std::string(64u << 20, 'k'));
  writeFile(file("out/in.tc"), "old");
  ASSERT_EQ(::link(file("out/in.tc").c_str(), file("second").c_str()), 0);
  writeFile(file("pw"), "secret");
  ReadWatch watch(file("out/in"));
  const pid_t pid = start({"encode", file("out/in"), "--password-file", file("pw"), "--yes"});
  ASSERT_TRUE(watch.waitForRead());
  ::kill(pid, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status));
  // Any start of the program, before anything else.
  writeFile(file("other"), "other");
  const Outcome next = run({"encode", file("other"), "--password-file", file("pw")});
  EXPECT_EQ(next.status, 0);
  EXPECT_EQ(next.err,
            "Warning: A job that was interrupted has been undone. This file has its old "
            "contents again:\n" +
                file("out/in.tc") + "\n");
  EXPECT_EQ(readFile(file("second")), "old");
  EXPECT_EQ(entries(journals()), std::set<std::string>{});
}

TEST_F(CliProcessTest, AHangUpIgnoredByTheCallerDoesNotStopTheJob) {
  // As under nohup: the caller ignores SIGHUP, so the job must finish.
  ASSERT_EQ(::mkdir(file("out").c_str(), 0755), 0);
  writeFile(file("out/in"), std::string(96u << 20, 'n'));
  writeFile(file("pw"), "secret");
  ReadWatch watch(file("out/in"));
  const pid_t pid = start({"encode", file("out/in"), "--password-stdin"}, [this] {
    ::signal(SIGHUP, SIG_IGN);
    redirect(file("pw"), STDIN_FILENO, O_RDONLY);
  });
  ASSERT_TRUE(watch.waitForRead());
  ::kill(pid, SIGSTOP);
  ::kill(pid, SIGHUP);
  ::kill(pid, SIGCONT);
  EXPECT_EQ(waitFor(pid), 0);
  EXPECT_EQ(readFile(file("out/in.tc")).size(), 96u << 20);
}

}  // namespace
}  // namespace talvek::test
