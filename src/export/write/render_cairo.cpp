#include "export/write/render_cairo.h"

#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "export/output.h"
#include "export/progress.h"
#include "export/write/sheet.h"

namespace {

// Where cairo's bytes go; an SVG is written as cairo finishes it, so the
// bar follows the bytes against an estimate.
struct CairoSink {
  ExportOutput* output;
  ExportProgress* progress;
  int64_t written;
  int64_t expected;
};

cairo_status_t writeToOutput(void* closure, const unsigned char* data, unsigned int length) {
  CairoSink* sink = static_cast<CairoSink*>(closure);
  writeExportBytes(sink->output, reinterpret_cast<const char*>(data), length);
  sink->written += length;
  updateExportProgress(sink->progress, "writing", std::min(sink->written, sink->expected * 99 / 100), sink->expected);
  return sink->output->errorNumber == 0 ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

void setPaint(cairo_t* cr, const SheetPaint& paint) {
  if (paint.alpha >= 1.0) cairo_set_source_rgb(cr, paint.red, paint.green, paint.blue);
  else cairo_set_source_rgba(cr, paint.red, paint.green, paint.blue, paint.alpha);
}

void drawPath(cairo_t* cr, const SheetPath& path) {
  cairo_new_path(cr);
  size_t point = 0;
  for (const uint8_t verb : path.verbs) {
    if (verb == sheetClosePath) {
      cairo_close_path(cr);
      continue;
    }
    if (verb == sheetMoveTo) cairo_move_to(cr, path.xy[point], path.xy[point + 1]);
    else cairo_line_to(cr, path.xy[point], path.xy[point + 1]);
    point += 2;
  }
  cairo_set_antialias(cr, path.crisp ? CAIRO_ANTIALIAS_NONE : CAIRO_ANTIALIAS_DEFAULT);
  cairo_set_line_join(cr, path.roundJoin ? CAIRO_LINE_JOIN_ROUND : CAIRO_LINE_JOIN_MITER);
  cairo_set_line_width(cr, path.lineWidth);
  if (path.filled) {
    setPaint(cr, path.fill);
    cairo_fill_preserve(cr);
  }
  if (path.stroked) {
    setPaint(cr, path.stroke);
    cairo_stroke_preserve(cr);
  }
  cairo_new_path(cr);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
}

// The sheet's text is WinAnsi, one byte a character; cairo takes UTF-8.
std::string utf8Of(const std::string& text) {
  std::string utf8;
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      utf8 += c;
    } else {
      utf8 += static_cast<char>(0xC0 | (byte >> 6));
      utf8 += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return utf8;
}

// Whatever sans-serif face the system has, narrowed or widened to the
// advance the layout measured in Helvetica, so that text fills exactly the
// room it was given.
void drawText(cairo_t* cr, const SheetText& text) {
  const std::string utf8 = utf8Of(text.text);
  const double advance = helveticaAdvance(text.text, text.size, text.bold);
  cairo_save(cr);
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                         text.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, text.size);
  cairo_text_extents_t extents{};
  cairo_text_extents(cr, utf8.c_str(), &extents);
  cairo_matrix_t font;
  cairo_matrix_init_scale(&font, extents.x_advance > 0.0 ? text.size * advance / extents.x_advance : text.size,
                          text.size);
  cairo_set_font_matrix(cr, &font);
  cairo_translate(cr, text.x, text.y);
  cairo_rotate(cr, text.angle);
  cairo_move_to(cr, -text.anchor * advance, 0.0);
  if (text.haloWidth > 0.0) {
    cairo_text_path(cr, utf8.c_str());
    setPaint(cr, text.halo);
    cairo_set_line_width(cr, text.haloWidth);
    cairo_stroke_preserve(cr);
    setPaint(cr, text.colour);
    cairo_fill(cr);
  } else {
    setPaint(cr, text.colour);
    cairo_show_text(cr, utf8.c_str());
  }
  cairo_restore(cr);
}

// Copies image's pixels into an RGB24 surface, its pixel (0, 0) at
// (left, top) of the surface; what falls outside is left out.
void copyPixels(const SheetImage& image, cairo_surface_t* surface, int32_t left, int32_t top) {
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int32_t stride = cairo_image_surface_get_stride(surface);
  const int32_t width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
  for (int32_t row = std::max(0, -top); data != nullptr && row < image.rows && row + top < height; ++row) {
    const uint8_t* from = image.rgb.data() + static_cast<size_t>(row) * static_cast<size_t>(image.columns) * 3;
    uint32_t* to = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(row + top) * static_cast<size_t>(stride));
    for (int32_t column = std::max(0, -left); column < image.columns && column + left < width; ++column) {
      const uint8_t* rgb = from + static_cast<size_t>(column) * 3;
      to[column + left] = (uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | rgb[2];
    }
  }
  cairo_surface_mark_dirty(surface);
}

// A raster that lands pixel for pixel on the picture (the surface of a
// PNG), outside any clip, goes straight in, without a second copy of it
// in cairo's memory.
bool copiedOnto(cairo_t* cr, const SheetImage& image, bool clipped) {
  cairo_surface_t* target = cairo_get_target(cr);
  cairo_matrix_t matrix;
  cairo_get_matrix(cr, &matrix);
  const bool aligned = matrix.xx == 1.0 && matrix.yy == 1.0 && matrix.xy == 0.0 && matrix.yx == 0.0 &&
                       matrix.x0 == 0.0 && matrix.y0 == 0.0 && image.width == image.columns &&
                       image.height == image.rows && image.left == std::floor(image.left) &&
                       image.top == std::floor(image.top) && std::fabs(image.left) < 1e9 && std::fabs(image.top) < 1e9;
  if (!aligned || clipped || image.smooth || cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE ||
      cairo_image_surface_get_format(target) != CAIRO_FORMAT_RGB24) {
    return false;
  }
  copyPixels(image, target, static_cast<int32_t>(image.left), static_cast<int32_t>(image.top));
  return true;
}

void drawImage(cairo_t* cr, const SheetImage& image, bool clipped) {
  if (copiedOnto(cr, image, clipped)) return;
  cairo_surface_t* pixels = cairo_image_surface_create(CAIRO_FORMAT_RGB24, image.columns, image.rows);
  copyPixels(image, pixels, 0, 0);
  cairo_save(cr);
  cairo_translate(cr, image.left, image.top);
  cairo_scale(cr, image.width / image.columns, image.height / image.rows);
  cairo_set_source_surface(cr, pixels, 0.0, 0.0);
  cairo_pattern_set_filter(cairo_get_source(cr), image.smooth ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST);
  cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
  cairo_rectangle(cr, 0.0, 0.0, image.columns, image.rows);
  cairo_fill(cr);
  cairo_restore(cr);
  cairo_surface_destroy(pixels);
}

void drawSheet(cairo_t* cr, const Sheet& sheet) {
  setPaint(cr, sheet.paper);
  cairo_paint(cr);
  bool clipped = false;
  for (const SheetItem& item : sheet.items) {
    const size_t index = static_cast<size_t>(item.index);
    if (item.kind == sheetPath) {
      drawPath(cr, sheet.paths[index]);
    } else if (item.kind == sheetText) {
      drawText(cr, sheet.texts[index]);
    } else if (item.kind == sheetImage) {
      drawImage(cr, sheet.images[index], clipped);
    } else if (item.kind == sheetClip) {
      const SheetRectangle& clip = sheet.clips[index];
      cairo_save(cr);
      cairo_rectangle(cr, clip.left, clip.top, clip.width, clip.height);
      cairo_clip(cr);
      clipped = true;
    } else {
      cairo_restore(cr);
      clipped = false;
    }
  }
}

}  // namespace

bool renderSheetCairo(const Sheet& sheet, bool svg, ExportOutput* output, ExportProgress* progress,
                      std::string* problem) {
  int64_t pixels = 0;
  for (const SheetImage& image : sheet.images) pixels += int64_t{image.columns} * image.rows;
  // Rough bytes of an SVG: its images as PNG in base64.
  CairoSink sink{output, progress, 0, std::max<int64_t>(1, pixels)};
  cairo_surface_t* surface =
      svg ? cairo_svg_surface_create_for_stream(writeToOutput, &sink, sheet.width, sheet.height)
          : cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(std::ceil(sheet.width)),
                                       static_cast<int>(std::ceil(sheet.height)));
  cairo_t* cr = cairo_create(surface);
  drawSheet(cr, sheet);
  cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  if (status == CAIRO_STATUS_SUCCESS && !svg) {
    updateExportProgress(progress, "writing", 0, 1);
    status = cairo_surface_write_to_png_stream(surface, writeToOutput, &sink);
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
