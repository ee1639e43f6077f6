#include "dialog/browse_folder.h"

#include <filesystem>
#include <system_error>

#include "platform/file_status.h"

namespace talvek {

std::string folderToBrowse(const std::string& fieldText) {
  if (fieldText.empty()) return {};
  std::error_code error;
  if (std::filesystem::is_directory(fieldText, error)) return fieldText;
  // A bare name lies in no folder of its own: the window's choice.
  if (!hasDirectoryPart(fieldText)) return {};
  const std::string folder = parentDirectory(fieldText);
  return std::filesystem::is_directory(folder, error) ? folder : std::string();
}

}  // namespace talvek
