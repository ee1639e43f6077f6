#include "ui/manual_location.h"

#include "platform/file_status.h"

namespace talvek {

std::string manualDirectory(const std::string& programDirectory,
                            const std::string& installedRelative) {
  if (isRegularFile(programDirectory + "/Manual.html")) return programDirectory;
  if (!installedRelative.empty()) {
    const std::string installed = programDirectory + "/" + installedRelative;
    if (isRegularFile(installed + "/Manual.html")) return installed;
  }
  return programDirectory;
}

}  // namespace talvek
