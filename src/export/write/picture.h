// A picture of the mesh from above, north up: every triangle filled with
// the colour of its mean z on the viridis ramp, shaded by a sun in the
// north-west 45 degrees high (unless flat), contours when given (index
// contours thicker and labelled), a coordinate grid, a colour bar, a scale
// bar, a legend and a title; or a PDF plot on ISO paper at a true scale
// with a title block. Laid out once as a sheet (write/sheet.h), then drawn
// by cairo (PNG, SVG) or written by the PDF writer.
#pragma once

#include <cstdint>
#include <string>

struct ExportMesh;
struct ExportContours;
struct ExportOutput;
struct ExportProgress;
struct Sheet;

enum PictureFormat : int32_t { picturePng = 0, pictureSvg = 1, picturePdf = 2 };

inline constexpr int32_t pictureDefaultSize = 1600;
inline constexpr int32_t pictureSmallestSize = 200;
inline constexpr int32_t pictureLargestSize = 16384;

// Where the mesh lands: width x height pixels (points in SVG and PDF), the
// data's lower left corner (lowX, lowY) at (plotLeft, plotBottom), one scale
// for x and y, y growing upward on the page.
struct PictureLayout {
  int32_t width = 0;
  int32_t height = 0;
  double plotLeft = 0.0;
  double plotBottom = 0.0;
  double plotWidth = 0.0;
  double plotHeight = 0.0;
  long double lowX = 0.0L;
  long double lowY = 0.0L;
  long double scale = 1.0L;  // pixels per data unit
};

// The picture's size and the mesh's place in it, the longer side of the
// picture being size pixels.
PictureLayout pictureLayout(const ExportMesh& mesh, int32_t size);

// The pixel position of the data point (x, y).
void picturePosition(const PictureLayout& layout, double x, double y, double* px, double* py);

struct PictureRequest {
  int32_t format = picturePng;
  int32_t size = pictureDefaultSize;
  bool flat = false;                         // plain ramp colours, no hillshade
  int32_t units = 0;                         // an ExportUnits, for the legend
  const ExportContours* contours = nullptr;  // none when null
  int32_t paper = -1;                        // with scale: a PDF plot on ISO A paper
  int32_t scale = 0;                         // 1:scale; the mesh must fit (paperPlot)
  std::string title;                         // heads the picture
  std::string fileName;                      // for the title block
  std::string date;                          // the mesh file's, "YYYY-MM-DD"
  std::string pdfDate;                       // the mesh file's, for the PDF's metadata
};

// The sheet of the picture (or of the plot at scale) that request asks for.
void buildPictureSheet(const ExportMesh& mesh, const PictureRequest& request, Sheet* sheet,
                       ExportProgress* progress);

// Draws the mesh into output. false with problem set when the renderer
// reports a failure.
bool writeMeshPicture(const ExportMesh& mesh, const PictureRequest& request, ExportOutput* output,
                      ExportProgress* progress, std::string* problem);
