#include "dialog_fixture.h"

namespace talvek::test {

DialogTest::DialogTest() {
  dialog_ = std::make_unique<EncoderDialog>(
      window_, DialogEnvironment{&options_, dir_.file("program"), std::string()});
}

void DialogTest::usePasswords(const std::string& first, const std::string& second) {
  window_.checkButton(IDC_USE_PASSWORD);
  window_.texts[IDC_PASSWORD1] = first;
  window_.texts[IDC_PASSWORD2] = second;
}

void DialogTest::useKeyFile(const std::string& path) {
  window_.checkButton(IDC_USE_KEY_FILE);
  window_.texts[IDC_KEY_FILE] = path;
}

void DialogTest::setPaths(const std::string& source, const std::string& destination) {
  window_.texts[IDC_SOURCE] = source;
  window_.texts[IDC_DESTINATION] = destination;
}

std::vector<std::string> DialogTest::shown() const {
  std::vector<std::string> result;
  for (const auto& m : window_.messages) result.push_back(message(m.caption, m.flags, m.text));
  return result;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
  ::getrlimit(RLIMIT_FSIZE, &saved_);
  oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{bytes, saved_.rlim_max};
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
  ::setrlimit(RLIMIT_FSIZE, &saved_);
  ::signal(SIGXFSZ, oldHandler_);
}

std::string message(const std::string& caption, unsigned flags, const std::string& text) {
  return caption + "|" + std::to_string(flags) + "|" + text;
}

}  // namespace talvek::test
