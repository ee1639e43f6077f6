// The outcome of a system call as a message needs it: which call failed, on
// which path, and the system's error code. It is built right at the failed
// call, so the code is that call's own and not whatever errno holds later.
#pragma once

#include <string>

namespace talvek {

class Status {
 public:
  // Success.
  Status() = default;

  // A failure of `operation` ("open", "fsync", "rename" ...) on `path`; an
  // error of 0 counts as EIO, so a failure is never mistaken for success.
  static Status failure(const char* operation, std::string path, int error);
  // The same with errno, for use on the line right after the failed call.
  static Status fromErrno(const char* operation, std::string path = {});

  bool ok() const { return error_ == 0; }
  const char* operation() const { return operation_; }
  const std::string& path() const { return path_; }
  int error() const { return error_; }

  // "operation path: reason", for test output and logs.
  std::string toString() const;

 private:
  const char* operation_ = "";
  std::string path_;
  int error_ = 0;
};

}  // namespace talvek
