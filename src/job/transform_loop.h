// The job's inner loop: reads a file from its start, transforms each buffer
// and writes it at the same offset of another file, reporting progress and
// stopping when asked.
#pragma once

#include <cstdint>

#include "codec/block_transform.h"
#include "job/job_report.h"
#include "platform/file.h"

namespace talvek {

// What a job reads: the source, or, when the source itself is written in
// place, the journal's copy of it, which holds the source's bytes followed
// by the journal's own record.
struct FillInput {
  const File* file = nullptr;
  bool isCopy = false;
};

// Transforms `in` into `out`. `total` is the size the source had when the
// job looked: reading more or fewer bytes from it means the file changed. A
// copy is read for exactly `total` bytes. Progress is reported after every
// buffer but the last; the caller reports the end once the result is
// durable. `written` receives the bytes written. False with ReadFailed,
// WriteFailed (and why), SourceChanged or Stopped in the report, whose path
// the caller fills in: it knows the files' names.
bool transformFileContents(const FillInput& in, File& out, const BlockTransform& transform,
                           uint64_t total, const JobProgress& progress, JobReport& report,
                           uint64_t* written);

}  // namespace talvek
