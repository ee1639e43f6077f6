#include "job/transform_stream.h"

#include <errno.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "codec/block_transform.h"
#include "codec/key_text.h"
#include "job/working_copy.h"
#include "job/write_destination.h"
#include "platform/unique_fd.h"

namespace talvek {
namespace {

// Big enough that a file arrives in few reads, small enough to stay in the
// processor's cache between the read, the transform and the write.
constexpr size_t kBufferSize = size_t{128} << 10;
// How long a wait for a quiet pipe lasts before the job asks again whether it
// should stop, in case the stop request came just before the wait began.
constexpr int kWaitMilliseconds = 1000;

// Moves bytes from one end to the other through the transform, and puts
// what failed, if anything, in the report.
class Pump {
 public:
  Pump(const StreamEnd& input, const StreamEnd& output, const JobProgress& progress, uint64_t total,
       JobReport& report)
      : input_(input),
        output_(output),
        progress_(progress),
        total_(total),
        report_(report),
        waitForInput_(mayBlock(input.fd)),
        waitForOutput_(mayBlock(output.fd)) {}

  // Runs until the input ends: true then, else false with the report filled.
  bool run(const BlockTransform& transform) {
    if (stopRequested()) return false;
    const std::unique_ptr<uint8_t[]> buffer(new uint8_t[kBufferSize]);
    uint64_t position = 0;
    for (;;) {
      if (waitForInput_ && !waitFor(input_, POLLIN)) return false;
      const ssize_t n = ::read(input_.fd, buffer.get(), kBufferSize);
      if (n < 0) {
        if (!retryAfter(input_, POLLIN, "read", JobFailure::ReadFailed)) return false;
        continue;
      }
      if (n == 0) return true;
      const size_t size = static_cast<size_t>(n);
      position = transform.apply(buffer.get(), size, position);
      if (!writeAll(buffer.get(), size)) return false;
      moved_ += size;
      if (stopRequested()) return false;
    }
  }

  uint64_t moved() const { return moved_; }

 private:
  // Pipes, terminals and sockets can keep a call waiting indefinitely; those
  // are waited for with poll, which a signal always interrupts, so that a
  // stop request is seen. Files and block devices answer at once.
  static bool mayBlock(int fd) {
    struct stat st;
    return ::fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode));
  }

  bool stopRequested() {
    if (!progress_ || progress_(moved_, total_)) return false;
    failJob(report_, JobFailure::Stopped);
    return true;
  }

  bool fail(JobFailure failure, const char* operation, const StreamEnd& end, int error) {
    return failJob(report_, failure, end.name, Status::failure(operation, end.name, error));
  }

  // Waits until `end` is ready for `events`; false when the job is to stop or
  // poll failed.
  bool waitFor(const StreamEnd& end, short events) {
    const JobFailure failure = events == POLLIN ? JobFailure::ReadFailed : JobFailure::WriteFailed;
    for (;;) {
      pollfd p{end.fd, events, 0};
      const int ready = ::poll(&p, 1, kWaitMilliseconds);
      if (ready > 0) return true;  // errors and hang-ups show in the read or write
      if (ready < 0 && errno != EINTR) return fail(failure, "poll", end, errno);
      if (stopRequested()) return false;
    }
  }

  // After a failed read or write: true when it is to be tried again (an
  // interruption, or a descriptor another program left non-blocking).
  bool retryAfter(const StreamEnd& end, short events, const char* operation, JobFailure failure) {
    const int error = errno;
    if (error == EINTR) return !stopRequested();
    if (error == EAGAIN || error == EWOULDBLOCK) return waitFor(end, events);
    return fail(failure, operation, end, error);
  }

  bool writeAll(const uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
      if (waitForOutput_ && !waitFor(output_, POLLOUT)) return false;
      const ssize_t n = ::write(output_.fd, data + done, size - done);
      if (n < 0) {
        if (!retryAfter(output_, POLLOUT, "write", JobFailure::WriteFailed)) return false;
        continue;
      }
      if (n == 0) return fail(JobFailure::WriteFailed, "write", output_, EIO);
      done += static_cast<size_t>(n);
      // A write cut short by a signal is where a stop request shows.
      if (done < size && stopRequested()) return false;
    }
    return true;
  }

  const StreamEnd& input_;
  const StreamEnd& output_;
  const JobProgress& progress_;
  const uint64_t total_;
  JobReport& report_;
  const bool waitForInput_;
  const bool waitForOutput_;
  uint64_t moved_ = 0;
};

}  // namespace

bool transformStream(const StreamEnd& input, const StreamEnd& output, std::string keyText,
                     bool encode, JobReport* report, const JobProgress& progress) {
  JobReport local;
  JobReport& result = freshReport(report, local);
  if (keyText.empty()) return failJob(result, JobFailure::EmptyKey);
  const BlockTransform transform(prepareKeyText(std::move(keyText)), encode);
  return Pump(input, output, progress, 0, result).run(transform);
}

bool transformFileToStream(const std::string& source, const StreamEnd& output, std::string keyText,
                           bool encode, JobReport* report, const JobProgress& progress) {
  JobReport local;
  JobReport& result = freshReport(report, local);
  struct stat before;
  if (::stat(source.c_str(), &before) != 0) {
    return failJob(result, JobFailure::SourceInvalid, source, Status::failure("stat", source, errno));
  }
  if (!S_ISREG(before.st_mode)) return failJob(result, JobFailure::SourceInvalid, source);
  if (keyText.empty()) return failJob(result, JobFailure::EmptyKey);

  const UniqueFd in = openRegularFileForReading(source);
  if (!in.valid()) {
    return failJob(result, JobFailure::SourceInvalid, source, Status::failure("open", source, errno));
  }
  if (::fstat(in.get(), &before) != 0) {
    return failJob(result, JobFailure::SourceInvalid, source, Status::failure("fstat", source, errno));
  }
  const BlockTransform transform(prepareKeyText(std::move(keyText)), encode);
  const StreamEnd from{in.get(), source};
  Pump pump(from, output, progress, static_cast<uint64_t>(before.st_size), result);
  if (!pump.run(transform)) return false;
  // Bytes that changed under the reader make a mix of two versions.
  if (pump.moved() != static_cast<uint64_t>(before.st_size) || !sourceUnchanged(in.get(), before)) {
    return failJob(result, JobFailure::SourceChanged, source);
  }
  return true;
}

bool transformStreamToFile(const StreamEnd& input, const std::string& destination,
                           std::string keyText, bool encode, bool overwrite, JobReport* report,
                           const JobProgress& progress) {
  JobReport local;
  JobReport& result = freshReport(report, local);
  if (!checkJobDestination(destination, overwrite, result)) return false;
  if (keyText.empty()) return failJob(result, JobFailure::EmptyKey);

  const BlockTransform transform(prepareKeyText(std::move(keyText)), encode);
  DestinationJob job;
  job.destination = destination;
  job.sourceName = input.name;
  // Straight into the destination's new file: nothing of the stream is kept
  // anywhere else.
  return writeDestination(
      job,
      [&](const FillInput&, int out, JobReport& report, uint64_t* written) {
        const StreamEnd to{out, destination};  // the pump keeps a reference
        Pump pump(input, to, progress, 0, report);
        const bool done = pump.run(transform);
        *written = pump.moved();
        return done;
      },
      result, progress);
}

}  // namespace talvek
