#include <string>
#include <vector>

#include "driver/run.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  setupConsole();
  std::vector<std::string> arguments = commandLineArguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  return runTsvmesh(static_cast<int>(arguments.size()), pointers.data());
}
