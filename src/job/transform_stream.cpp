#include "job/transform_stream.h"

#include <memory>

#include "codec/block_transform.h"
#include "codec/key_text.h"
#include "job/write_destination.h"

namespace talvek {
namespace {

// Big enough that a file arrives in few reads, small enough to stay in the
// processor's cache between the read, the transform and the write.
constexpr size_t kBufferSize = size_t{128} << 10;
// How long a wait for a quiet pipe lasts before the job asks again whether it
// should stop, in case the stop request came just before the wait began.
constexpr int kWaitMilliseconds = 1000;

// One end of a pump: the file and the name a report gives it.
struct PumpEnd {
  File& file;
  const std::string& name;
};

// Moves bytes from one end to the other through the transform, and puts
// what failed, if anything, in the report.
class Pump {
 public:
  Pump(PumpEnd input, PumpEnd output, const JobProgress& progress, uint64_t total,
       JobReport& report)
      : input_(input),
        output_(output),
        progress_(progress),
        total_(total),
        report_(report),
        waitForInput_(input.file.mayBlock()),
        waitForOutput_(output.file.mayBlock()) {}

  // Runs until the input ends: true then, else false with the report filled.
  bool run(const BlockTransform& transform) {
    if (stopRequested()) return false;
    const std::unique_ptr<uint8_t[]> buffer(new uint8_t[kBufferSize]);
    uint64_t position = 0;
    for (;;) {
      if (waitForInput_ && !waitFor(input_, false)) return false;
      size_t n = 0;
      if (Status read = input_.file.read(buffer.get(), kBufferSize, &n); !read.ok()) {
        if (!retryAfter(input_, false, read, JobFailure::ReadFailed)) return false;
        continue;
      }
      if (n == 0) return true;
      position = transform.apply(buffer.get(), n, position);
      if (!writeAll(buffer.get(), n)) return false;
      moved_ += n;
      if (stopRequested()) return false;
    }
  }

  uint64_t moved() const { return moved_; }

 private:
  bool stopRequested() {
    if (!progress_ || progress_(moved_, total_)) return false;
    failJob(report_, JobFailure::Stopped);
    return true;
  }

  bool fail(JobFailure failure, const PumpEnd& end, const Status& why) {
    return failJob(report_, failure, end.name, why.about(end.name));
  }

  // Waits until `end` is ready; false when the job is to stop or the wait
  // failed. The wait ends with every signal, so a stop request is seen.
  bool waitFor(const PumpEnd& end, bool forWriting) {
    const JobFailure failure = forWriting ? JobFailure::WriteFailed : JobFailure::ReadFailed;
    for (;;) {
      bool ready = false;
      const Status waited = end.file.waitUntilReady(forWriting, kWaitMilliseconds, &ready);
      if (!waited.ok()) return fail(failure, end, waited);
      if (ready) return true;
      if (stopRequested()) return false;
    }
  }

  // After a failed read or write: true when it is to be tried again (a
  // descriptor another program left non-blocking).
  bool retryAfter(const PumpEnd& end, bool forWriting, const Status& why, JobFailure failure) {
    if (why.is(Condition::Busy)) return waitFor(end, forWriting);
    return fail(failure, end, why);
  }

  bool writeAll(const uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
      if (waitForOutput_ && !waitFor(output_, true)) return false;
      size_t n = 0;
      if (Status wrote = output_.file.write(data + done, size - done, &n); !wrote.ok()) {
        if (!retryAfter(output_, true, wrote, JobFailure::WriteFailed)) return false;
        continue;
      }
      done += n;
      // A write cut short by a signal is where a stop request shows.
      if (done < size && stopRequested()) return false;
    }
    return true;
  }

  PumpEnd input_;
  PumpEnd output_;
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
  BorrowedFile in(input.native);
  BorrowedFile out(output.native);
  return Pump({in.get(), input.name}, {out.get(), output.name}, progress, 0, result).run(transform);
}

bool transformFileToStream(const std::string& source, const StreamEnd& output, std::string keyText,
                           bool encode, JobReport* report, const JobProgress& progress) {
  JobReport local;
  JobReport& result = freshReport(report, local);
  FileInfo before;
  if (Status looked = infoOfPath(source, /*followLinks=*/true, &before); !looked.ok()) {
    return failJob(result, JobFailure::SourceInvalid, source, looked);
  }
  if (!before.regular) return failJob(result, JobFailure::SourceInvalid, source);
  if (keyText.empty()) return failJob(result, JobFailure::EmptyKey);

  File in;
  Status opened = openForReading(source, &in);
  if (opened.ok()) opened = in.info(&before);
  if (!opened.ok()) return failJob(result, JobFailure::SourceInvalid, source, opened);
  const BlockTransform transform(prepareKeyText(std::move(keyText)), encode);
  BorrowedFile out(output.native);
  Pump pump({in, source}, {out.get(), output.name}, progress, before.size, result);
  if (!pump.run(transform)) return false;
  // Bytes that changed under the reader make a mix of two versions.
  if (pump.moved() != before.size || !sourceUnchanged(in, before)) {
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
  BorrowedFile in(input.native);
  // Straight into the destination's new file: nothing of the stream is kept
  // anywhere else.
  return writeDestination(
      job,
      [&](const FillInput&, File& out, JobReport& report, uint64_t* written) {
        Pump pump({in.get(), input.name}, {out, destination}, progress, 0, report);
        const bool done = pump.run(transform);
        *written = pump.moved();
        return done;
      },
      result, progress);
}

}  // namespace talvek
