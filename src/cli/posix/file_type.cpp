#include "cli/file_type.h"

#include <magic.h>

namespace talvek {

namespace {

// Enough for every common format's signature; a guess never reads a big file.
constexpr size_t kBytesLooked = 64 << 10;

}  // namespace

struct FileTypeGuesser::Database {
  magic_t cookie = nullptr;
  bool tried = false;
  ~Database() {
    if (cookie != nullptr) magic_close(cookie);
  }
};

FileTypeGuesser::FileTypeGuesser() : database_(std::make_unique<Database>()) {}
FileTypeGuesser::~FileTypeGuesser() = default;

std::string FileTypeGuesser::guess(const std::string& path) {
  Database& db = *database_;
  if (!db.tried) {
    db.tried = true;
    // Compressed data is named as such, not opened; errors are results.
    db.cookie = magic_open(MAGIC_ERROR | MAGIC_NO_CHECK_COMPRESS);
    const size_t bytes = kBytesLooked;
    if (db.cookie != nullptr &&
        (magic_setparam(db.cookie, MAGIC_PARAM_BYTES_MAX, &bytes) != 0 ||
         magic_load(db.cookie, nullptr) != 0)) {
      magic_close(db.cookie);
      db.cookie = nullptr;
    }
  }
  if (db.cookie == nullptr) return {};
  const char* described = magic_file(db.cookie, path.c_str());
  if (described == nullptr) return {};
  std::string text = described;
  if (const size_t comma = text.find(", "); comma != std::string::npos) text.resize(comma);
  return text;
}

}  // namespace talvek
