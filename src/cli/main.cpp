// talvek-cli: encodes, decodes and makes key files from the command line.
#include "cli/cli_app.h"

int main(int argc, char** argv) {
  return talvek::runCli(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}
