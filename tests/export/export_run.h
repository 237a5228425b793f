// Runs the real tsvmesh-export, as the export's end-to-end tests do.
#pragma once

#include <string>
#include <vector>

#include "test_support.h"

// tsvmesh-export with args (not counting its name) in dir.
inline ProcessResult runExport(const std::vector<std::string>& args, const std::string& dir) {
  std::vector<std::string> argv{"tsvmesh-export"};
  argv.insert(argv.end(), args.begin(), args.end());
  return runProgram(TSVMESH_EXPORT_BINARY, argv, dir, "", 120);
}
