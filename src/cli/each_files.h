// The files `talvek-cli encode|decode --each` works on: the arguments in
// their order and, with --recursive, the files found in the folders among
// them. A folder is read before any job runs, so the files the jobs write
// there are never taken as sources.
#pragma once

#include <string>
#include <vector>

namespace talvek {

struct EachFile {
  enum class Take {
    Run,   // a job runs on it
    Skip,  // left alone, with a warning that says why (`why`)
    Fail,  // a folder that could not be read (`why`)
  };
  std::string path;
  Take take = Take::Run;
  std::string why;
};

struct EachSelection {
  bool encode = true;
  bool recursive = false;
  // The key file or password file in use: never a file to work on.
  std::string secretPath;
  const char* secretName = "the key file";
};

// A named argument takes the same checks as a single SOURCE, except that
// encode skips a name that already ends in ".tc", decode one that does not,
// and a folder is walked only with `recursive`. A folder's own entries are
// taken only where they fit the command (".tc" files to decode, others to
// encode), and never when they are links, not regular files, or the hidden
// files the program writes beside a file it replaces.
std::vector<EachFile> selectEachFiles(const std::vector<std::string>& arguments,
                                      const EachSelection& selection);

}  // namespace talvek
