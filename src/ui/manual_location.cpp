#include "ui/manual_location.h"

#include "platform/file_status.h"

namespace talvek {

std::string manualDirectory(std::string programDirectory, const std::string& installedRelative) {
  if (programDirectory.size() > 1 && programDirectory.back() == '/') programDirectory.pop_back();
  if (isRegularFile(programDirectory + "/Manual.html")) return programDirectory;
  if (!installedRelative.empty()) {
    const std::string installed = programDirectory + "/" + installedRelative;
    if (isRegularFile(installed + "/Manual.html")) return installed;
  }
  return programDirectory;
}

}  // namespace talvek
