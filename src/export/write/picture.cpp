#include "export/write/picture.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "export/read/mesh_file.h"
#include "export/output.h"
#include "export/progress.h"

namespace {

// viridis at t = 0, 1/8, ..., 1; between them the ramp is interpolated.
constexpr unsigned char viridisStops[9][3] = {
    {68, 1, 84},    {71, 45, 123},  {59, 82, 139},  {44, 114, 142}, {33, 145, 140},
    {40, 174, 128}, {94, 201, 98},  {173, 220, 48}, {253, 231, 37},
};

// Triangles are filled in this many colour classes, one path each: cairo
// fills one long path far faster than as many short ones.
constexpr int32_t colourClasses = 256;

constexpr int32_t progressStride = 1 << 15;

// Proportions of the picture, as fractions of its longer side.
constexpr double marginShare = 0.03;
constexpr double titleShare = 0.022;
constexpr double labelShare = 0.015;
constexpr double barShare = 0.022;       // colour bar width
constexpr double labelRoomShare = 0.10;  // beside the colour bar
constexpr double bottomShare = 0.065;    // scale bar and its labels

// An edge is drawn when it is at least this many pixels long; shorter ones
// would hide the fill of their triangles.
constexpr double shortestEdge = 12.0;

// Text stays readable in small pictures.
constexpr double smallestTitle = 12.0;
constexpr double smallestLabel = 10.0;

struct Bands {
  double margin, top, bottom, left, right;
  double title, label;  // font sizes
};

Bands pictureBands(double size) {
  Bands bands{};
  bands.title = std::max(smallestTitle, titleShare * size);
  bands.label = std::max(smallestLabel, labelShare * size);
  bands.margin = marginShare * size;
  bands.top = bands.margin + 2.0 * bands.title;
  bands.bottom = bands.margin + std::max(bottomShare * size, 3.0 * bands.label);
  bands.left = bands.margin;
  bands.right = bands.margin + 0.02 * size + barShare * size + std::max(labelRoomShare * size, 5.0 * bands.label);
  return bands;
}

cairo_status_t writeToOutput(void* closure, const unsigned char* data, unsigned int length) {
  ExportOutput* output = static_cast<ExportOutput*>(closure);
  writeExportBytes(output, reinterpret_cast<const char*>(data), length);
  return output->errorNumber == 0 ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

// Cairo's text calls want UTF-8; anything else in a file name would put the
// drawing into an error state, so only printable ASCII is kept.
std::string printable(const std::string& text) {
  std::string kept = text;
  for (char& c : kept) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
  }
  return kept;
}

void showText(cairo_t* cr, double x, double y, const std::string& text, double alignX) {
  cairo_text_extents_t extents{};
  cairo_text_extents(cr, text.c_str(), &extents);
  cairo_move_to(cr, x - alignX * extents.x_advance, y);
  cairo_show_text(cr, text.c_str());
}

// Class of a triangle by its mean z within the data's z range.
int32_t colourClass(const ExportMesh& mesh, int32_t face) {
  const int32_t* corners = &mesh.corners[static_cast<size_t>(face) * 3];
  const long double range = static_cast<long double>(mesh.highestZ) - mesh.lowestZ;
  if (!(range > 0.0L)) return colourClasses / 2;
  long double mean = 0.0L;
  for (int32_t c = 0; c < 3; ++c) mean += mesh.vertices[static_cast<size_t>(corners[c])].z;
  mean /= 3.0L;
  const long double t = (mean - mesh.lowestZ) / range;
  const int32_t index = static_cast<int32_t>(std::clamp(t, 0.0L, 1.0L) * colourClasses);
  return std::min(index, colourClasses - 1);
}

// A face's corners on the page, laid out by colour class so that the
// drawing passes read them in order.
struct PageTriangle {
  float x[3];
  float y[3];
};

void drawTriangles(cairo_t* cr, const ExportMesh& mesh, const PictureLayout& layout, bool vector,
                   ExportProgress* progress) {
  std::vector<float> pixels(static_cast<size_t>(mesh.vertexCount) * 2);
  for (int32_t v = 0; v < mesh.vertexCount; ++v) {
    const ExportVertex& vertex = mesh.vertices[static_cast<size_t>(v)];
    double px = 0.0, py = 0.0;
    picturePosition(layout, vertex.x, vertex.y, &px, &py);
    pixels[static_cast<size_t>(v) * 2] = static_cast<float>(px);
    pixels[static_cast<size_t>(v) * 2 + 1] = static_cast<float>(py);
  }
  // Faces grouped by colour class, file order kept within a class; bit c of
  // edges[i] says that edge c of sorted face i is long enough to draw.
  const size_t faceCount = static_cast<size_t>(mesh.triangleCount);
  std::vector<uint8_t> classes(faceCount);
  std::vector<int32_t> classStart(colourClasses + 1, 0);
  for (size_t f = 0; f < faceCount; ++f) {
    classes[f] = static_cast<uint8_t>(colourClass(mesh, static_cast<int32_t>(f)));
    ++classStart[classes[f] + 1];
  }
  for (int32_t k = 0; k < colourClasses; ++k) classStart[k + 1] += classStart[k];
  std::vector<PageTriangle> page(faceCount);
  std::vector<uint8_t> edges(faceCount);
  std::vector<int32_t> edgeCount(colourClasses, 0);
  std::vector<int32_t> next(classStart.begin(), classStart.end() - 1);
  constexpr float shortestSquared = static_cast<float>(shortestEdge * shortestEdge);
  for (size_t f = 0; f < faceCount; ++f) {
    const size_t slot = static_cast<size_t>(next[classes[f]]++);
    PageTriangle& triangle = page[slot];
    for (int32_t c = 0; c < 3; ++c) {
      const size_t corner = static_cast<size_t>(mesh.corners[f * 3 + static_cast<size_t>(c)]);
      triangle.x[c] = pixels[corner * 2];
      triangle.y[c] = pixels[corner * 2 + 1];
    }
    uint8_t bits = 0;
    for (int32_t c = 0; c < 3; ++c) {
      const float dx = triangle.x[(c + 1) % 3] - triangle.x[c];
      const float dy = triangle.y[(c + 1) % 3] - triangle.y[c];
      if (dx * dx + dy * dy >= shortestSquared) bits = static_cast<uint8_t>(bits | (1 << c));
    }
    edges[slot] = bits;
    if (bits != 0) ++edgeCount[classes[f]];
  }
  classes = std::vector<uint8_t>();
  pixels = std::vector<float>();

  // On a raster every pixel centre goes to exactly one triangle, so
  // neighbours meet without the pale seams of antialiased edges, and edges
  // are crisp one-pixel lines (which also keeps PNG files small). Vector
  // viewers antialias anyway; there a hairline of the fill's own colour
  // covers the seams, and edges are half as wide.
  cairo_set_antialias(cr, vector ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
  cairo_set_line_width(cr, 0.25);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  for (int32_t k = 0; k < colourClasses; ++k) {
    if (classStart[k] == classStart[k + 1]) continue;
    double rgb[3];
    viridisColour(k / (colourClasses - 1.0), rgb);
    cairo_set_source_rgb(cr, rgb[0], rgb[1], rgb[2]);
    cairo_new_path(cr);
    for (int32_t i = classStart[k]; i < classStart[k + 1]; ++i) {
      if ((i & (progressStride - 1)) == 0) updateExportProgress(progress, "drawing", i, mesh.triangleCount);
      const PageTriangle& triangle = page[static_cast<size_t>(i)];
      cairo_move_to(cr, triangle.x[0], triangle.y[0]);
      cairo_line_to(cr, triangle.x[1], triangle.y[1]);
      cairo_line_to(cr, triangle.x[2], triangle.y[2]);
      cairo_close_path(cr);
    }
    if (vector) {
      cairo_fill_preserve(cr);
      cairo_stroke(cr);
    } else {
      cairo_fill(cr);
    }
  }

  cairo_set_line_width(cr, vector ? 0.5 : 1.0);
  for (int32_t k = 0; k < colourClasses; ++k) {
    if (edgeCount[k] == 0) continue;
    double rgb[3];
    viridisColour(k / (colourClasses - 1.0), rgb);
    cairo_set_source_rgb(cr, rgb[0] * 0.7, rgb[1] * 0.7, rgb[2] * 0.7);
    cairo_new_path(cr);
    for (int32_t i = classStart[k]; i < classStart[k + 1]; ++i) {
      const PageTriangle& triangle = page[static_cast<size_t>(i)];
      for (int32_t c = 0; c < 3; ++c) {
        if ((edges[static_cast<size_t>(i)] & (1 << c)) == 0) continue;
        cairo_move_to(cr, triangle.x[c], triangle.y[c]);
        cairo_line_to(cr, triangle.x[(c + 1) % 3], triangle.y[(c + 1) % 3]);
      }
    }
    cairo_stroke(cr);
  }
  cairo_new_path(cr);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
}

void drawColourBar(cairo_t* cr, const ExportMesh& mesh, const PictureLayout& layout, const Bands& bands,
                   double size) {
  const double left = layout.width - bands.right + 0.02 * size;
  const double width = barShare * size;
  const double top = bands.top;
  const double bottom = layout.height - bands.bottom;
  cairo_pattern_t* ramp = cairo_pattern_create_linear(0.0, bottom, 0.0, top);
  for (int32_t i = 0; i <= 8; ++i) {
    const unsigned char* stop = viridisStops[i];
    cairo_pattern_add_color_stop_rgb(ramp, i / 8.0, stop[0] / 255.0, stop[1] / 255.0, stop[2] / 255.0);
  }
  cairo_rectangle(cr, left, top, width, bottom - top);
  cairo_set_source(cr, ramp);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(ramp);
  cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
  cairo_set_line_width(cr, std::max(1.0, size / 1600.0));
  cairo_stroke(cr);

  // Two decimals as in the triangle file, unless that would not fit.
  auto label = [](double z, char* text, size_t room) {
    std::snprintf(text, room, std::fabs(z) < 1e9 ? "%.2f" : "%.6g", z);
  };
  char text[64];
  cairo_set_font_size(cr, bands.label);
  const double labelX = left + width + 0.008 * size;
  label(mesh.highestZ, text, sizeof text);
  showText(cr, labelX, top + bands.label * 0.8, text, 0.0);
  label(mesh.lowestZ, text, sizeof text);
  showText(cr, labelX, bottom, text, 0.0);
  showText(cr, left + width / 2.0, top - 0.4 * bands.label, "z", 0.5);
}

// A round length (1, 2 or 5 times a power of ten) of about a quarter of the
// plot's width, drawn under its lower left corner.
void drawScaleBar(cairo_t* cr, const PictureLayout& layout, const Bands& bands, double size) {
  const double wanted = layout.plotWidth / 4.0 / static_cast<double>(layout.scale);
  if (!(wanted > 0.0) || !std::isfinite(wanted)) return;
  const double power = std::pow(10.0, std::floor(std::log10(wanted)));
  double length = power;
  if (2.0 * power <= wanted) length = 2.0 * power;
  if (5.0 * power <= wanted) length = 5.0 * power;
  const double pixels = length * static_cast<double>(layout.scale);
  const double left = layout.plotLeft;
  const double y = layout.height - bands.bottom + 0.025 * size;
  const double tick = 0.008 * size;
  cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
  cairo_set_line_width(cr, std::max(1.0, size / 800.0));
  cairo_move_to(cr, left, y - tick);
  cairo_line_to(cr, left, y);
  cairo_line_to(cr, left + pixels, y);
  cairo_line_to(cr, left + pixels, y - tick);
  cairo_stroke(cr);
  char text[64];
  std::snprintf(text, sizeof text, "%g", length);
  cairo_set_font_size(cr, bands.label);
  const double textY = y + 1.4 * bands.label;
  showText(cr, left, textY, "0", 0.5);
  showText(cr, left + pixels, textY, text, 0.5);
}

void drawNorthArrow(cairo_t* cr, const PictureLayout& layout, const Bands& bands, double size) {
  const double x = layout.plotLeft + layout.plotWidth - 0.02 * size;
  const double top = layout.height - bands.bottom + 0.012 * size;
  const double height = 0.03 * size;
  cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
  cairo_move_to(cr, x, top);
  cairo_line_to(cr, x + 0.25 * height, top + height);
  cairo_line_to(cr, x, top + 0.75 * height);
  cairo_line_to(cr, x - 0.25 * height, top + height);
  cairo_close_path(cr);
  cairo_fill(cr);
  cairo_set_font_size(cr, bands.label);
  showText(cr, x - 0.5 * height, top + height, "N", 1.0);
}

void drawTitle(cairo_t* cr, const PictureLayout& layout, const Bands& bands, const std::string& title) {
  const std::string text = printable(title);
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  const double fontSize = bands.title;
  cairo_set_font_size(cr, fontSize);
  cairo_text_extents_t extents{};
  cairo_text_extents(cr, text.c_str(), &extents);
  const double room = layout.width - 2.0 * bands.margin;
  if (extents.x_advance > room) cairo_set_font_size(cr, fontSize * room / extents.x_advance);
  cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
  showText(cr, bands.margin, bands.margin + fontSize, text, 0.0);
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
}

void drawPicture(cairo_t* cr, const ExportMesh& mesh, const PictureLayout& layout, bool vector, double size,
                 const std::string& title, ExportProgress* progress) {
  const Bands bands = pictureBands(size);
  cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
  cairo_paint(cr);
  drawTriangles(cr, mesh, layout, vector, progress);
  drawTitle(cr, layout, bands, title);
  drawColourBar(cr, mesh, layout, bands, size);
  drawScaleBar(cr, layout, bands, size);
  drawNorthArrow(cr, layout, bands, size);
}

}  // namespace

PictureLayout pictureLayout(const ExportMesh& mesh, int32_t size) {
  const double side = size;
  const Bands bands = pictureBands(side);
  PictureLayout layout;
  long double lowX = 0.0L, highX = 1.0L, lowY = 0.0L, highY = 1.0L;
  if (mesh.vertexCount > 0) {
    lowX = highX = mesh.vertices[0].x;
    lowY = highY = mesh.vertices[0].y;
    for (const ExportVertex& vertex : mesh.vertices) {
      lowX = std::min<long double>(lowX, vertex.x);
      highX = std::max<long double>(highX, vertex.x);
      lowY = std::min<long double>(lowY, vertex.y);
      highY = std::max<long double>(highY, vertex.y);
    }
  }
  const long double roomX = side - bands.left - bands.right;
  const long double roomY = side - bands.top - bands.bottom;
  const long double fitX = highX > lowX ? roomX / (highX - lowX) : 0.0L;
  const long double fitY = highY > lowY ? roomY / (highY - lowY) : 0.0L;
  long double scale = 1.0L;
  if (fitX > 0.0L && fitY > 0.0L) scale = std::min(fitX, fitY);
  else if (fitX > 0.0L || fitY > 0.0L) scale = std::max(fitX, fitY);
  layout.scale = scale;
  layout.lowX = lowX;
  layout.lowY = lowY;
  layout.plotWidth = static_cast<double>((highX - lowX) * scale);
  layout.plotHeight = static_cast<double>((highY - lowY) * scale);
  // A narrow mesh still leaves room for the title and the colour bar.
  const double width = std::max(bands.left + layout.plotWidth + bands.right, 0.6 * side);
  const double height = std::max(bands.top + layout.plotHeight + bands.bottom, 0.5 * side);
  layout.width = static_cast<int32_t>(std::min(std::ceil(width), side));
  layout.height = static_cast<int32_t>(std::min(std::ceil(height), side));
  layout.plotLeft = bands.left + (layout.width - bands.left - bands.right - layout.plotWidth) / 2.0;
  layout.plotBottom =
      layout.height - bands.bottom - (layout.height - bands.top - bands.bottom - layout.plotHeight) / 2.0;
  return layout;
}

void picturePosition(const PictureLayout& layout, double x, double y, double* px, double* py) {
  *px = layout.plotLeft + static_cast<double>((x - layout.lowX) * layout.scale);
  *py = layout.plotBottom - static_cast<double>((y - layout.lowY) * layout.scale);
}

void viridisColour(double t, double rgb[3]) {
  const double at = std::clamp(t, 0.0, 1.0) * 8.0;
  const int32_t stop = std::min(static_cast<int32_t>(at), 7);
  const double share = at - stop;
  for (int32_t i = 0; i < 3; ++i) {
    rgb[i] = (viridisStops[stop][i] + share * (viridisStops[stop + 1][i] - viridisStops[stop][i])) / 255.0;
  }
}

bool writeMeshPicture(const ExportMesh& mesh, const std::string& title, int32_t size, int32_t format,
                      const char* pdfDate, ExportOutput* output, ExportProgress* progress,
                      std::string* problem) {
  const PictureLayout layout = pictureLayout(mesh, size);
  cairo_surface_t* surface = nullptr;
  if (format == picturePng) {
    surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, layout.width, layout.height);
  } else if (format == pictureSvg) {
    surface = cairo_svg_surface_create_for_stream(writeToOutput, output, layout.width, layout.height);
  } else {
    surface = cairo_pdf_surface_create_for_stream(writeToOutput, output, layout.width, layout.height);
    // The creation date is the mesh file's, so the same file gives the same bytes.
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATE_DATE, pdfDate);
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, printable(title).c_str());
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "tsvmesh-export");
  }
  cairo_t* cr = cairo_create(surface);
  drawPicture(cr, mesh, layout, format != picturePng, size, title, progress);
  cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  if (status == CAIRO_STATUS_SUCCESS && format == picturePng) {
    updateExportProgress(progress, "writing", 0, 1);
    status = cairo_surface_write_to_png_stream(surface, writeToOutput, output);
  }
  cairo_surface_finish(surface);
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  // Releases cairo's font caches, so that leak checkers see only our own memory.
  cairo_debug_reset_static_data();
  if (status != CAIRO_STATUS_SUCCESS) {
    *problem = cairo_status_to_string(status);
    return false;
  }
  return true;
}
