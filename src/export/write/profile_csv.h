// A long section as CSV: the header "chainage,easting,northing,elevation",
// then a row a station. A blank line ends each stretch on the surface that
// a gap in it follows (the chainage goes on past the gap); two blank lines
// end a polyline's section, and the next one's chainage starts at 0 again.
#pragma once

struct ExportOutput;
struct ExportProfile;

void writeProfileCsv(const ExportProfile& profile, ExportOutput* output);
