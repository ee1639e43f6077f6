// The meaning of errno values.
#include <errno.h>

#include <system_error>

#include "platform/status.h"

namespace talvek {

int systemCode(Condition condition) {
  switch (condition) {
    case Condition::None:
      return 0;
    case Condition::NotFound:
      return ENOENT;
    case Condition::Exists:
      return EEXIST;
    case Condition::AccessDenied:
      return EACCES;
    case Condition::Busy:
      return EWOULDBLOCK;
    case Condition::Cancelled:
      return ECANCELED;
    case Condition::Unsupported:
      return EOPNOTSUPP;
    case Condition::Replaced:
      return ESTALE;
    case Condition::NoSpace:
      return ENOSPC;
    case Condition::ReaderGone:
      return EPIPE;
    case Condition::Other:
      break;
  }
  return EIO;
}

Condition conditionOf(int code) {
  switch (code) {
    case 0:
      return Condition::None;
    case ENOENT:
      return Condition::NotFound;
    case EEXIST:
      return Condition::Exists;
    case EACCES:
    case EPERM:
    case EROFS:
      return Condition::AccessDenied;
    case EWOULDBLOCK:
      return Condition::Busy;
    case ECANCELED:
      return Condition::Cancelled;
    case EOPNOTSUPP:
    case ENOSYS:
      return Condition::Unsupported;
    case ESTALE:
      return Condition::Replaced;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return Condition::NoSpace;
    case EPIPE:
      return Condition::ReaderGone;
    default:
      return Condition::Other;
  }
}

std::string systemErrorText(int code) {
  // The same text as strerror, without its shared buffer.
  return std::error_code(code, std::generic_category()).message();
}

}  // namespace talvek
