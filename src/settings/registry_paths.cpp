#include "settings/registry_paths.h"

namespace talvek {

bool keyLevels(std::string_view path, std::vector<std::string_view>& levels) {
  levels.clear();
  if (path.empty()) return true;
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = path.find('\\', start);
    const std::size_t end = slash == std::string_view::npos ? path.size() : slash;
    if (end == start) return false;
    levels.push_back(path.substr(0, end));
    if (slash == std::string_view::npos) return true;
    start = slash + 1;
  }
}

bool validKeyPath(std::string_view path) {
  std::vector<std::string_view> levels;
  return keyLevels(path, levels);
}

std::string stringValueData(std::string_view text) {
  std::string data(text.substr(0, text.find('\0')));
  data.push_back('\0');
  return data;
}

std::string dwordValueData(std::uint32_t number) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((number >> (8 * i)) & 0xff);
  return bytes;
}

}  // namespace talvek
