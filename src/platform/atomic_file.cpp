// What both systems' AtomicFile share.
#include "platform/atomic_file.h"

namespace talvek {

AtomicFile::~AtomicFile() {
  abandon();
}

Status AtomicFile::fail(Status status) {
  abandon();
  return status;
}

Status AtomicFile::open(const std::string& targetPath, const Options& options) {
  TargetFile target;
  if (Status status = target.open(targetPath); !status.ok()) {
    abandon();
    return status;
  }
  return open(std::move(target), options);
}

}  // namespace talvek
