// One run of the program, from the command line to the exit status.
#pragma once

#include <cstdint>

// Runs every phase and returns the exit status (-1 or 0).
int runTsvmesh(int argc, char** argv);
