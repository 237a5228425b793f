#include <new>
#include <string>
#include <vector>

#include "driver/run.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  setupConsole();
  std::vector<std::string> arguments;
  std::vector<char*> pointers;
  try {
    arguments = commandLineArguments(argc, argv);
    for (std::string& argument : arguments) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
  } catch (const std::bad_alloc&) {
    return -1;  // not even room for the command line
  }
  return runTsvmesh(static_cast<int>(arguments.size()), pointers.data());
}
