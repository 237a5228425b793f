// Points and triangles from the surface engine (or a file) into the
// surface record that products read.
#pragma once

#include <cstdint>
#include <vector>

struct ExportMesh;

// Fills surface's vertices (numbered by first use in the triangles, as a
// triangle file's corners are; points no triangle uses are left out), their
// shortest texts, the corners, the z range and the average longest side as
// tsvmesh's statistic measures it. xyz holds 3 numbers a point, triangles 3
// point indices a triangle.
void assembleSurface(const std::vector<double>& xyz, const std::vector<int32_t>& triangles, ExportMesh* surface);

// The average longest side of surface's faces as tsvmesh's statistic
// measures it from their two-decimal text.
void measureAverageSide(ExportMesh* surface);
