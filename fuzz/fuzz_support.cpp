#include "fuzz_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "directory_entries.h"

namespace talvek::fuzz {

namespace {

bool usableDirectory(const char* path) {
  struct stat st;
  return path != nullptr && *path != '\0' && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode) &&
         ::access(path, W_OK | X_OK) == 0;
}

void removeScratchDirectory() {
  clearScratchDirectory();
  ::rmdir(scratchDirectory().c_str());
}

}  // namespace

void mismatch(const std::string& what) {
  std::fprintf(stderr, "\n==== MISMATCH: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

const std::string& scratchDirectory() {
  static const std::string directory = [] {
    const char* base = std::getenv("TMPDIR");
    if (!usableDirectory(base)) base = usableDirectory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/talvek-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) mismatch("cannot make " + pattern);
    return pattern;
  }();
  static const bool registered = std::atexit(removeScratchDirectory) == 0;
  (void)registered;
  return directory;
}

void clearScratchDirectory() {
  const std::string& directory = scratchDirectory();
  for (const std::string& name : test::entries(directory)) {
    ::unlink((directory + "/" + name).c_str());
  }
}

void writeScratchFile(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) mismatch("cannot create " + path);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) mismatch("cannot write " + path);
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}

std::string quoted(const std::string& bytes) {
  std::string text = "\"";
  for (size_t i = 0; i < bytes.size() && i < 200; ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c >= 32 && c < 127 && c != '"' && c != '\\') {
      text.push_back(static_cast<char>(c));
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", c);
      text += escape;
    }
  }
  if (bytes.size() > 200) text += "...";
  return text + "\" (" + std::to_string(bytes.size()) + " bytes)";
}

}  // namespace talvek::fuzz
