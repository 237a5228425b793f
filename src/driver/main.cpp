#include "driver/console.h"
#include "driver/run.h"

int main(int argc, char** argv) {
  setupConsole();
  return runTsvmesh(argc, argv);
}
