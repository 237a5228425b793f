// tsvmesh-export: the surface of a triangle, points or field file as
// pictures and files for other software, one output per OUTPUT named, the
// format chosen by its extension.
#include <cstdio>
#include <string>
#include <vector>

#include "export/cli/command_line.h"
#include "export/cli/run.h"
#include "platform/console.h"

namespace {

int run(int argc, char** argv) {
  ExportOptions options;
  std::string problem;
  switch (parseExportCommandLine(argc, argv, &options, &problem)) {
    case commandHelp: std::fputs(exportUsageText().c_str(), stdout); return 0;
    case commandVersion: std::puts("tsvmesh-export " TSVMESH_VERSION); return 0;
    case commandUsage:
      printText(stderr, "tsvmesh-export: " + problem + "\ntry 'tsvmesh-export --help'\n");
      return exportExitUsage;
    default: return runExport(options);
  }
}

}  // namespace

// On Windows the arguments come from the wide command line, so any name
// works whatever the code page.
int main(int argc, char** argv) {
  std::vector<std::string> arguments = commandLineArguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  return run(static_cast<int>(arguments.size()), pointers.data());
}
