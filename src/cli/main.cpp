// talvek-cli: encodes, decodes and makes key files from the command line.
#include <csignal>

#include "cli/cli_app.h"

int main(int argc, char** argv) {
  // A file-size limit must fail the write, as a full disk does, rather than
  // end the program in the middle of a job.
  std::signal(SIGXFSZ, SIG_IGN);
  return talvek::runCli(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}
