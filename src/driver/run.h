// One run of the program, from the command line to the exit status.
#pragma once

#include <cstdint>

// Runs every phase and returns the exit status (-1 or 0).
int runTsvmesh(int argc, char** argv);

// The mesh's progress (MeshProgress) as a run shows it on standard output:
// "\nProcessing Points." at the start, then "." for each mark.
void printMeshProgress(void* context, int32_t step);
