#include "cli/each_files.h"

#include <set>
#include <utility>

#include "dialog/destination_rule.h"
#include "platform/atomic_file.h"
#include "platform/file.h"
#include "platform/file_status.h"
#include "platform/folder_listing.h"

namespace talvek {

namespace {

bool isSecretFile(const FileInfo& file, const EachSelection& selection) {
  FileInfo secret;
  return !selection.secretPath.empty() &&
         infoOfPath(selection.secretPath, /*followLinks=*/true, &secret).ok() &&
         secret.identity == file.identity;
}

// Whether a file of a walked folder is one the command is for.
bool fitsCommand(const std::string& path, const EachSelection& selection) {
  return hasEncodedExtension(path) != selection.encode;
}

class Walk {
 public:
  explicit Walk(const EachSelection& selection) : selection_(selection) {}

  void argument(const std::string& path) {
    FileInfo info;
    const bool known = infoOfPath(path, /*followLinks=*/true, &info).ok();
    if (known && info.directory) {
      if (selection_.recursive) {
        // A named link to a folder is followed, as the user named it.
        folder(path, /*named=*/true);
      } else {
        skip(path, "a folder (-r takes the files in it)");
      }
    } else if (selection_.encode && hasEncodedExtension(path)) {
      skip(path, "the name already ends in .tc");
    } else if (!selection_.encode && !hasEncodedExtension(path)) {
      skip(path, "the name does not end in .tc");
    } else if (known && isSecretFile(info, selection_)) {
      skip(path, std::string(selection_.secretName) + " in use");
    } else if (!known || firstTime(info)) {
      // Anything else meets the same checks as a single SOURCE.
      files_.push_back({path, EachFile::Take::Run, {}});
    }
  }

  std::vector<EachFile> take() { return std::move(files_); }

 private:
  void folder(const std::string& path, bool named) {
    std::vector<std::string> names;
    if (const Status listed = listFolder(path, /*followLink=*/named, &names); !listed.ok()) {
      files_.push_back({path, EachFile::Take::Fail, "cannot read the folder: " + listed.reason()});
      return;
    }
    for (const std::string& name : names) {
      const std::string entry = pathInFolder(path, name);
      FileInfo info;
      // Gone since the folder was read: nothing to work on.
      if (!infoOfPath(entry, /*followLinks=*/false, &info).ok()) continue;
      if (info.directory) {
        folder(entry, /*named=*/false);
      } else if (info.regular && !isAtomicFileTemporaryName(name) &&
                 fitsCommand(entry, selection_)) {
        if (isSecretFile(info, selection_)) {
          skip(entry, std::string(selection_.secretName) + " in use");
        } else if (firstTime(info)) {
          files_.push_back({entry, EachFile::Take::Run, {}});
        }
      }
    }
  }

  // A file named twice, or named and found in a folder, is worked on once.
  bool firstTime(const FileInfo& info) {
    return taken_.insert({info.identity.volume, info.identity.index}).second;
  }

  void skip(const std::string& path, std::string why) {
    files_.push_back({path, EachFile::Take::Skip, std::move(why)});
  }

  const EachSelection& selection_;
  std::vector<EachFile> files_;
  std::set<std::pair<uint64_t, uint64_t>> taken_;
};

}  // namespace

std::vector<EachFile> selectEachFiles(const std::vector<std::string>& arguments,
                                      const EachSelection& selection) {
  Walk walk(selection);
  for (const std::string& argument : arguments) walk.argument(argument);
  return walk.take();
}

}  // namespace talvek
