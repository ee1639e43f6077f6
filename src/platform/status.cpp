#include "platform/status.h"

#include <errno.h>

#include "platform/error_text.h"

namespace talvek {

Status Status::failure(const char* operation, std::string path, int error) {
  Status status;
  status.operation_ = operation;
  status.path_ = std::move(path);
  status.error_ = error == 0 ? EIO : error;
  return status;
}

Status Status::fromErrno(const char* operation, std::string path) {
  return failure(operation, std::move(path), errno);
}

std::string Status::toString() const {
  if (ok()) return "OK";
  std::string text = operation_;
  if (!path_.empty()) text += " " + path_;
  return text + ": " + systemErrorText(error_);
}

}  // namespace talvek
