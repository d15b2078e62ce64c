// tool-cli: the page commands and raw frames from the command line.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#ifdef TOOL_PDF_REPORTS
#include "history/report/history_report_pdf.h"
#endif

int main(int argc, char** argv) {
  const std::vector<std::string> words(argv + 1, argv + argc);
#ifdef TOOL_PDF_REPORTS
  pages::history::InstallPdfReports();
#endif
  return cli::Run(words, cli::CommandSets(), std::cout, std::cerr);
}
