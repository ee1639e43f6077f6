#include "platform/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "platform/posix/errno_status.h"

namespace talvek {

Status listFolder(const std::string& path, bool followLink, std::vector<std::string>* names) {
  names->clear();
  const int fd =
      ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
  if (fd < 0) return errnoStatus("open", path);
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    const Status status = errnoStatus("open", path);
    ::close(fd);
    return status;
  }
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names->push_back(name);
    errno = 0;
  }
  const Status status = errno != 0 ? errnoStatus("read", path) : Status();
  ::closedir(dir);
  std::sort(names->begin(), names->end());
  return status;
}

std::string pathInFolder(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

}  // namespace talvek
