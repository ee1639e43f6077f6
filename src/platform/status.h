// The outcome of a system call as a message needs it: which call failed, on
// which path, and the system's own error code (errno here, GetLastError's
// value on Windows), whose text the system gives. It is built right at the
// failed call, so the code is that call's own and not whatever the system's
// error variable holds later. Code that must tell one failure from another
// asks for its condition, which means the same on every system.
#pragma once

#include <string>

namespace talvek {

// What a failure means to the caller, whatever the system's code.
enum class Condition {
  None,          // success
  NotFound,      // no such file or directory
  Exists,        // the name is taken
  AccessDenied,  // not allowed (permissions, a read-only file system)
  Busy,          // held by another: a lock, a file another program has open
  Cancelled,     // the caller asked to stop
  Unsupported,   // not on this file system or system
  Replaced,      // the file is no longer the one that was checked
  NoSpace,       // the disk or the quota is full, or the file may not grow
  ReaderGone,    // the reader of a pipe went away
  Other,
};

class Status {
 public:
  // Success.
  Status() = default;

  // A failure of `operation` ("open", "fsync", "rename" ...) on `path` with
  // the system's code; a code of 0 counts as an input/output error, so a
  // failure is never mistaken for success.
  static Status failure(const char* operation, std::string path, int systemCode);
  // A failure the program finds itself, with the system's code for it.
  static Status failure(const char* operation, std::string path, Condition condition);

  bool ok() const { return code_ == 0; }
  const char* operation() const { return operation_; }
  const std::string& path() const { return path_; }
  // The system's code, 0 on success.
  int code() const { return code_; }
  Condition condition() const;
  bool is(Condition condition) const { return this->condition() == condition; }
  // The system's words for the code.
  std::string reason() const;

  // The same failure said of another path (the name the user gave, say).
  Status about(std::string path) const;

  // "operation path: reason", for test output and logs.
  std::string toString() const;

 private:
  const char* operation_ = "";
  std::string path_;
  int code_ = 0;
};

// The system's code for a condition, and the condition of a code.
int systemCode(Condition condition);
Condition conditionOf(int systemCode);
// The system's words for a code, for the messages users read.
std::string systemErrorText(int systemCode);

}  // namespace talvek
