// tool-cli: the page commands and raw frames from the command line.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"

int main(int argc, char** argv) {
  const std::vector<std::string> words(argv + 1, argv + argc);
  return cli::Run(words, cli::CommandSets(), std::cout, std::cerr);
}
