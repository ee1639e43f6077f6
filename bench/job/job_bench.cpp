// Runs one file transform job from the command line, so the whole job can be
// timed against cp by job_vs_cp.sh.
#include <cstdio>
#include <cstring>

#include "job/transform_file.h"

int main(int argc, char** argv) {
  if (argc != 5 || (std::strcmp(argv[4], "encode") != 0 && std::strcmp(argv[4], "decode") != 0)) {
    std::fprintf(stderr, "usage: %s SOURCE DEST PASSWORD encode|decode\n", argv[0]);
    return 2;
  }
  talvek::JobReport report;
  const bool encode = std::strcmp(argv[4], "encode") == 0;
  if (!talvek::transformFile(argv[1], argv[2], argv[3], encode, true, &report)) {
    std::fprintf(stderr, "job failed (%d)%s%s\n", static_cast<int>(report.failure),
                 report.keptCopy.empty() ? "" : "; working copy kept at ", report.keptCopy.c_str());
    return 1;
  }
  return 0;
}
