// talvek-cli: encodes, decodes and makes key files from the command line.
#include <csignal>

#include "cli/cli_app.h"

int main(int argc, char** argv) {
  // A file-size limit must fail the write, as a full disk does, rather than
  // end the program in the middle of a job.
  std::signal(SIGXFSZ, SIG_IGN);
  // A reader of standard output that goes away makes the write fail with
  // EPIPE; the program then ends by SIGPIPE itself, as a filter does, but
  // never in the middle of a job with files of its own to clean up, nor
  // because a closed standard error could not take a warning.
  std::signal(SIGPIPE, SIG_IGN);
  return talvek::runCli(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}
