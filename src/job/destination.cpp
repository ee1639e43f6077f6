#include "job/destination.h"

#include "job/wipe_file.h"
#include "platform/file.h"
#include "platform/signals_held.h"
#include "platform/target_file.h"

namespace talvek {
namespace {

// Where the file system has no unnamed files, a file is made at the name
// and removed again. A signal that ended the process in between would leave
// an empty file at the destination: signals wait until it is gone. (Nothing
// holds back SIGKILL or a power cut; unnamed files are why those leave
// nothing elsewhere.)
DestinationState probeByCreating(const TargetFile& target) {
  const SignalsHeld held;
  File file;
  const bool created = target.reopen(TargetFile::Access::CreateNew, &file).ok();
  file.reset();
  if (created) (void)wipeFile(target.resolvedPath(), 1);
  return created ? DestinationState::Creatable : DestinationState::NotCreatable;
}

}  // namespace

DestinationState probeDestination(const std::string& path) {
  FileInfo info;
  // Anything that exists but is not a regular file (a directory, a FIFO that
  // would block, a device that would be written) is never opened.
  if (infoOfPath(path, /*followLinks=*/true, &info).ok()) {
    return info.regular ? DestinationState::Exists : DestinationState::NotCreatable;
  }
  // A dangling link: writing through it would create its target, so probe that.
  TargetFile target;
  if (!target.open(path).ok() || target.exists()) return DestinationState::NotCreatable;
  switch (target.probeCreatable()) {
    case TargetFile::Creatable::Yes:
      return DestinationState::Creatable;
    case TargetFile::Creatable::No:
      return DestinationState::NotCreatable;
    case TargetFile::Creatable::Unknown:
      break;
  }
  return probeByCreating(target);
}

}  // namespace talvek
