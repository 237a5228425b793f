// Exact orientation and in-circle decisions for any finite double input.
//
// Each predicate first evaluates its determinant in doubles and trusts the
// sign when it clears a forward error bound; the bound holds only while no
// product underflows or overflows, so it is used only when every coordinate
// difference is zero or within [2^-200, 2^200]. Otherwise, and whenever the
// fast sign is uncertain, the determinant is evaluated exactly in integers
// (each double is an integer times a power of two; all of one call's
// coordinates are brought to their smallest power). The answers never
// depend on rounding, so every platform takes the same decisions.
#pragma once

#include <cstdint>

namespace tsvmesh::surface {

// +1 when a, b, c turn counter-clockwise (c left of the line a->b),
// -1 when clockwise, 0 when the three points lie on one line.
// Points are (x, y) pairs.
int orientation(const double* a, const double* b, const double* c);

// +1 when d lies strictly inside the circle through a, b, c, -1 when strictly
// outside, 0 on it. a, b, c must be counter-clockwise (orientation +1); for a
// clockwise triangle the sign is reversed, for a collinear one it is the side
// of d relative to the line as the lifted determinant gives it.
int inCircle(const double* a, const double* b, const double* c, const double* d);

// Sign of orientation(a, b, g) where g is the centroid (p + q + r) / 3,
// computed exactly: the sum of the three orientations of a, b with p, q, r.
int orientationOfCentroid(const double* a, const double* b, const double* p, const double* q,
                          const double* r);

// Sign of (p.y + q.y + r.y) - 3 y: where the centroid of p, q, r lies
// against the horizontal line at y, exactly.
int centroidAboveY(const double* p, const double* q, const double* r, double y);

}  // namespace tsvmesh::surface
