#include "job/transform_loop.h"

#include <algorithm>
#include <memory>

namespace talvek {
namespace {

// Read, transformed and written while it stays in the processor's cache;
// larger buffers measured no faster.
constexpr size_t kBufferSize = size_t{256} << 10;
// How much is written before the device is asked to start on it, so that
// its writes overlap with reading and transforming the rest.
constexpr uint64_t kWritebackStep = uint64_t{8} << 20;

}  // namespace

bool transformFileContents(const FillInput& input, File& out, const BlockTransform& transform,
                           uint64_t total, const JobProgress& progress, JobReport& report,
                           uint64_t* written) {
  const File& in = *input.file;
  *written = 0;
  in.adviseSequential();
  if (progress && !progress(0, total)) return failJob(report, JobFailure::Stopped);
  const std::unique_ptr<uint8_t[]> buffer(new uint8_t[kBufferSize]);
  uint64_t offset = 0;
  uint64_t flushed = 0;
  uint64_t position = 0;
  for (;;) {
    const size_t want =
        input.isCopy ? static_cast<size_t>(std::min<uint64_t>(kBufferSize, total - offset))
                     : kBufferSize;
    if (want == 0) break;
    size_t n = 0;
    if (Status read = in.readAt(offset, buffer.get(), want, &n); !read.ok()) {
      return failJob(report, JobFailure::ReadFailed, {}, read);
    }
    if (n == 0) break;
    position = transform.apply(buffer.get(), n, position);
    if (Status wrote = out.writeAt(offset, buffer.get(), n); !wrote.ok()) {
      return failJob(report, JobFailure::WriteFailed, {}, wrote);
    }
    offset += n;
    *written = offset;
    if (offset - flushed >= kWritebackStep) {
      out.startWriteback(flushed, offset - flushed);
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
