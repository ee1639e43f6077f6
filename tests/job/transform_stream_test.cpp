#include "job/transform_stream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>

#include "job_test_support.h"
#include "platform/posix/unique_fd.h"

namespace talvek {
namespace {

using test::JobTest;

constexpr char kKey[] = "stream key";

// The read end of a pipe that a child fills with `data` in pieces of `piece`
// bytes, then keeps open for `holdSeconds` before it exits.
class FedPipe {
 public:
  FedPipe(const std::string& data, size_t piece, unsigned holdSeconds = 0) {
    int ends[2];
    if (::pipe(ends) != 0) ADD_FAILURE() << "pipe";
    child_ = ::fork();
    if (child_ == 0) {
      ::close(ends[0]);
      for (size_t done = 0; done < data.size(); done += piece) {
        const size_t n = std::min(piece, data.size() - done);
        if (!writeAll(ends[1], data.data() + done, n)) ::_exit(1);
      }
      ::sleep(holdSeconds);
      ::_exit(0);
    }
    ::close(ends[1]);
    read_.reset(ends[0]);
  }
  ~FedPipe() {
    read_.reset();
    ::kill(child_, SIGKILL);
    ::waitpid(child_, nullptr, 0);
  }
  int fd() const { return read_.get(); }

 private:
  pid_t child_ = -1;
  UniqueFd read_;
};

UniqueFd openForWriting(const std::string& path) {
  return UniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
}

TEST_F(JobTest, StreamsGiveTheBytesOfTheFileJob) {
  for (const size_t size : {size_t{0}, size_t{1}, size_t{5000}, size_t{300001}}) {
    for (const bool encode : {true, false}) {
      SCOPED_TRACE(std::to_string(size) + (encode ? " encode" : " decode"));
      const std::string data = test::patternBytes(size, static_cast<uint32_t>(size));
      const std::string expected = test::expectedTransform(data, kKey, encode);
      test::writeFile(file("in"), data);
      {
        // A pipe gives short reads; each must continue the key position.
        FedPipe in(data, 777);
        const UniqueFd out = openForWriting(file("out"));
        ASSERT_TRUE(transformStream({in.fd(), "standard input"}, {out.get(), "standard output"},
                                    kKey, encode));
        EXPECT_TRUE(test::readFile(file("out")) == expected);
      }
      {
        const UniqueFd out = openForWriting(file("out"));
        ASSERT_TRUE(transformFileToStream(file("in"), {out.get(), "out"}, kKey, encode));
        EXPECT_TRUE(test::readFile(file("out")) == expected);
      }
      {
        FedPipe in(data, 4096);
        test::writeFile(file("dest"), "old");
        ASSERT_TRUE(transformStreamToFile({in.fd(), "standard input"}, file("dest"), kKey, encode,
                                          /*overwrite=*/true));
        EXPECT_TRUE(test::readFile(file("dest")) == expected);
      }
      expectNoStrayFiles({"in", "out", "dest"});
    }
  }
}

TEST_F(JobTest, StreamFailuresNameTheEndAndTheReason) {
  test::writeFile(file("in"), test::patternBytes(300000));
  const UniqueFd in(::open(file("in").c_str(), O_RDONLY | O_CLOEXEC));
  JobReport report;

  // A reader that went away: EPIPE, which talvek-cli turns into SIGPIPE.
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ::close(ends[0]);
  const UniqueFd closedPipe(ends[1]);
  const sighandler_t old = ::signal(SIGPIPE, SIG_IGN);
  EXPECT_FALSE(transformStream({in.get(), "in"}, {closedPipe.get(), "standard output"}, kKey, true,
                               &report));
  ::signal(SIGPIPE, old);
  EXPECT_EQ(report.failure, JobFailure::WriteFailed);
  EXPECT_STREQ(report.why.operation(), "write");
  EXPECT_EQ(report.path, "standard output");
  EXPECT_EQ(report.why.code(), EPIPE);

  const UniqueFd directory(::open(files().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  const UniqueFd out = openForWriting(file("out"));
  EXPECT_FALSE(transformStream({directory.get(), "standard input"}, {out.get(), "out"}, kKey, true,
                               &report));
  EXPECT_EQ(report.failure, JobFailure::ReadFailed);
  EXPECT_STREQ(report.why.operation(), "read");
  EXPECT_EQ(report.path, "standard input");
  EXPECT_EQ(report.why.code(), EISDIR);

  EXPECT_FALSE(transformFileToStream(file("missing"), {out.get(), "out"}, kKey, true, &report));
  EXPECT_EQ(report.failure, JobFailure::SourceInvalid);
  EXPECT_EQ(report.path, file("missing"));
  EXPECT_EQ(report.why.code(), ENOENT);

  // Checks that need no input come before any byte is read.
  ASSERT_EQ(::lseek(in.get(), 0, SEEK_SET), 0);
  EXPECT_FALSE(transformStream({in.get(), "in"}, {out.get(), "out"}, "", true, &report));
  EXPECT_EQ(report.failure, JobFailure::EmptyKey);
  EXPECT_FALSE(
      transformStreamToFile({in.get(), "in"}, file("no/dir/x"), kKey, true, true, &report));
  EXPECT_EQ(report.failure, JobFailure::DestinationInvalid);
  test::writeFile(file("exists"), "old");
  EXPECT_FALSE(transformStreamToFile({in.get(), "in"}, file("exists"), kKey, true, false, &report));
  EXPECT_EQ(report.failure, JobFailure::DestinationExists);
  EXPECT_EQ(::lseek(in.get(), 0, SEEK_CUR), 0);
  expectNoStrayFiles({"in", "out", "exists"});
}

TEST_F(JobTest, AStoppedStreamLeavesNoFileOfItsOwn) {
  const std::string data = test::patternBytes(1 << 20);
  int calls = 0;
  const JobProgress stopAtSecondCall = [&calls](uint64_t, uint64_t) { return ++calls < 2; };
  FedPipe in(data, 1000);
  JobReport report;
  EXPECT_FALSE(transformStreamToFile({in.fd(), "standard input"}, file("new"), kKey, true, true,
                                     &report, stopAtSecondCall));
  EXPECT_EQ(report.failure, JobFailure::Stopped);
  expectNoStrayFiles({});

  // A file's bytes stop as a pipe's do.
  test::writeFile(file("in"), data);
  const UniqueFd out = openForWriting(file("out"));
  calls = 0;
  EXPECT_FALSE(
      transformFileToStream(file("in"), {out.get(), "out"}, kKey, true, &report, stopAtSecondCall));
  EXPECT_EQ(report.failure, JobFailure::Stopped);
  EXPECT_LT(test::readFile(file("out")).size(), data.size());
}

TEST_F(JobTest, AFileThatChangesWhileStreamedOutFails) {
  const std::string data = test::patternBytes((1u << 20) + 5);
  for (const test::SourceChange& change : test::kSourceChanges) {
    SCOPED_TRACE(change.name);
    test::writeAgedFile(file("in"), data);
    const UniqueFd out = openForWriting(file("out"));
    JobReport report;
    EXPECT_FALSE(
        transformFileToStream(file("in"), {out.get(), "out"}, kKey, true, &report,
                              test::changingOnceUnderway([&] { change.apply(file("in"), data); })));
    EXPECT_EQ(report.failure, JobFailure::SourceChanged);
    EXPECT_EQ(report.path, file("in"));
  }
}

volatile sig_atomic_t alarmed = 0;

TEST_F(JobTest, AStopIsSeenWhileThePipeIsQuiet) {
  // Handlers that restart calls, as talvek-cli's are, must still stop a job
  // that waits for input that does not come.
  alarmed = 0;
  struct sigaction action {};
  struct sigaction previous {};
  action.sa_handler = [](int) { alarmed = 1; };
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGALRM, &action, &previous);
  FedPipe in("a few bytes", 100, /*holdSeconds=*/20);
  const UniqueFd out = openForWriting(file("out"));
  const itimerval soon{{0, 0}, {0, 200000}};
  ::setitimer(ITIMER_REAL, &soon, nullptr);
  const auto start = std::chrono::steady_clock::now();
  JobReport report;
  EXPECT_FALSE(transformStream({in.fd(), "standard input"}, {out.get(), "out"}, kKey, true, &report,
                               [](uint64_t, uint64_t) { return alarmed == 0; }));
  EXPECT_EQ(report.failure, JobFailure::Stopped);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(test::readFile(file("out")).size(), 11u);
  ::sigaction(SIGALRM, &previous, nullptr);
}

}  // namespace
}  // namespace talvek
