// What a file's first bytes look like ("PDF document", "data" for bytes
// that look like nothing known), said after a decode so that a wrong
// password, which the format cannot detect, shows at once.
#pragma once

#include <memory>
#include <string>

namespace talvek {

class FileTypeGuesser {
 public:
  FileTypeGuesser();
  ~FileTypeGuesser();
  FileTypeGuesser(const FileTypeGuesser&) = delete;
  FileTypeGuesser& operator=(const FileTypeGuesser&) = delete;

  // The kind of data in the file at `path`, without the details after the
  // first comma ("PDF document", not "PDF document, version 1.7"); "" where
  // nothing can be told (no type database here, or the file is unreadable).
  std::string guess(const std::string& path);

 private:
  struct Database;
  std::unique_ptr<Database> database_;  // loaded at the first guess
};

}  // namespace talvek
