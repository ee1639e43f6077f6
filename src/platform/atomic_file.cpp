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

void AtomicFile::start(TargetFile target, const Options& options) {
  abandon();
  target_ = std::move(target);
  options_ = options;
  attributesError_ = 0;
  restoreOwner_ = false;
  synced_ = false;
}

Status AtomicFile::open(const std::string& targetPath, const Options& options) {
  TargetFile target;
  if (Status status = target.open(targetPath); !status.ok()) {
    abandon();
    return status;
  }
  return open(std::move(target), options);
}

bool isAtomicFileTemporaryName(const std::string& name) {
  constexpr size_t kSuffix = 6;
  // A dot, a name of at least one character, a dot, the suffix.
  if (name.size() < kSuffix + 3 || name[0] != '.' || name[name.size() - kSuffix - 1] != '.') {
    return false;
  }
  for (size_t i = name.size() - kSuffix; i < name.size(); ++i) {
    const char c = name[i];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
      return false;
    }
  }
  return true;
}

}  // namespace talvek
