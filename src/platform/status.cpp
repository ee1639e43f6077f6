#include "platform/status.h"

namespace talvek {

Status Status::failure(const char* operation, std::string path, int systemCode) {
  Status status;
  status.operation_ = operation;
  status.path_ = std::move(path);
  status.code_ = systemCode == 0 ? talvek::systemCode(Condition::Other) : systemCode;
  return status;
}

Status Status::failure(const char* operation, std::string path, Condition condition) {
  return failure(operation, std::move(path), systemCode(condition));
}

Condition Status::condition() const {
  return ok() ? Condition::None : conditionOf(code_);
}

std::string Status::reason() const {
  return ok() ? std::string() : systemErrorText(code_);
}

Status Status::about(std::string path) const {
  Status status = *this;
  status.path_ = std::move(path);
  return status;
}

std::string Status::toString() const {
  if (ok()) return "OK";
  std::string text = operation_;
  if (!path_.empty()) text += " " + path_;
  return text + ": " + reason();
}

}  // namespace talvek
