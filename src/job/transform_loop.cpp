#include "job/transform_loop.h"

#include <errno.h>
#include <fcntl.h>

#include <algorithm>
#include <memory>

#include "platform/unique_fd.h"

namespace talvek {
namespace {

// Read, transformed and written while it stays in the processor's cache;
// larger buffers measured no faster.
constexpr size_t kBufferSize = size_t{256} << 10;
// How much is written before the device is asked to start on it, so that
// its writes overlap with reading and transforming the rest.
constexpr uint64_t kWritebackStep = uint64_t{8} << 20;


}  // namespace

bool transformFileContents(const FillInput& input, int out, const BlockTransform& transform,
                           uint64_t total, const JobProgress& progress, JobReport& report,
                           uint64_t* written) {
  const int in = input.fd;
  *written = 0;
  (void)::posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
  if (progress && !progress(0, total)) return failJob(report, JobFailure::Stopped);
  const std::unique_ptr<uint8_t[]> buffer(new uint8_t[kBufferSize]);
  uint64_t offset = 0;
  uint64_t flushed = 0;
  uint64_t position = 0;
  for (;;) {
    const size_t want = input.isCopy ? static_cast<size_t>(std::min<uint64_t>(kBufferSize, total - offset))
                                     : kBufferSize;
    if (want == 0) break;
    const ssize_t n = preadFull(in, buffer.get(), want, offset);
    if (n < 0) return failJob(report, JobFailure::ReadFailed, {}, Status::failure("read", {}, errno));
    if (n == 0) break;
    position = transform.apply(buffer.get(), static_cast<size_t>(n), position);
    if (!pwriteAll(out, buffer.get(), static_cast<size_t>(n), offset)) {
      return failJob(report, JobFailure::WriteFailed, {}, Status::failure("write", {}, errno));
    }
    offset += static_cast<uint64_t>(n);
    *written = offset;
    if (offset - flushed >= kWritebackStep) {
      startWriteback(out, flushed, offset - flushed);
      flushed = offset;
    }
    if (offset > total) return failJob(report, JobFailure::SourceChanged);
    if (progress && offset < total && !progress(offset, total)) {
      return failJob(report, JobFailure::Stopped);
    }
  }
  if (offset != total) return failJob(report, JobFailure::SourceChanged);
  return true;
}

}  // namespace talvek
