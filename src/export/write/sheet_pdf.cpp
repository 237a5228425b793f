#include "export/write/sheet_pdf.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "export/output.h"
#include "export/progress.h"
#include "export/write/sheet.h"

namespace {

// Objects in file order: 1 catalogue, 2 page tree, 3 page, 4 content,
// 5 and 6 the fonts, then one per image, then the document's information.
constexpr int32_t contentObject = 4;
constexpr int32_t firstImageObject = 7;

// A fixed number of decimals, trailing zeros dropped, printed from a whole
// number so that no library's printf rounding can differ between systems.
void appendNumber(std::string* out, double value, int32_t decimals) {
  int64_t unit = 1;
  for (int32_t d = 0; d < decimals; ++d) unit *= 10;
  const double scaled = std::isfinite(value) ? std::round(std::fabs(value) * static_cast<double>(unit)) : 0.0;
  const int64_t whole = static_cast<int64_t>(std::min(scaled, 1e17));
  if (value < 0.0 && whole != 0) *out += '-';
  *out += std::to_string(whole / unit);
  int64_t fraction = whole % unit;
  if (fraction == 0) return;
  std::string digits(static_cast<size_t>(decimals), '0');
  for (size_t d = digits.size(); d-- > 0; fraction /= 10) digits[d] = static_cast<char>('0' + fraction % 10);
  while (digits.back() == '0') digits.pop_back();
  *out += '.' + digits;
}

// Coordinates to a thousandth of a point, colours to a ten-thousandth.
void appendCoordinate(std::string* out, double value) {
  appendNumber(out, value, 3);
  *out += ' ';
}

void appendColour(std::string* out, const SheetPaint& paint, const char* op) {
  for (const double part : {paint.red, paint.green, paint.blue}) {
    appendNumber(out, std::fmin(std::fmax(part, 0.0), 1.0), 4);
    *out += ' ';
  }
  *out += op;
  *out += '\n';
}

// A string in parentheses, its bytes as they are but for the delimiters,
// backslash and anything outside printable ASCII, which go octal.
void appendString(std::string* out, const std::string& text) {
  *out += '(';
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte == '(' || byte == ')' || byte == '\\') {
      *out += '\\';
      *out += c;
    } else if (byte < 0x20 || byte > 0x7E) {
      char octal[8];
      std::snprintf(octal, sizeof octal, "\\%03o", byte);
      *out += octal;
    } else {
      *out += c;
    }
  }
  *out += ')';
}

// The page's content: the sheet's y runs down from the top, the page's up.
struct Content {
  std::string text;
  double height;
  std::vector<std::pair<double, double>> alphas;  // fill, stroke: one graphics state each
};

// Selects the graphics state with these opacities, naming a new one as needed.
void appendOpacity(Content* content, double fill, double stroke) {
  if (fill >= 1.0 && stroke >= 1.0) return;
  size_t state = 0;
  while (state < content->alphas.size() && content->alphas[state] != std::make_pair(fill, stroke)) ++state;
  if (state == content->alphas.size()) content->alphas.emplace_back(fill, stroke);
  content->text += "/G" + std::to_string(state) + " gs\n";
}

void appendPath(Content* content, const SheetPath& path) {
  std::string& out = content->text;
  out += "q\n";
  appendOpacity(content, path.filled ? path.fill.alpha : 1.0, path.stroked ? path.stroke.alpha : 1.0);
  if (path.filled) appendColour(&out, path.fill, "rg");
  if (path.stroked) {
    appendColour(&out, path.stroke, "RG");
    appendNumber(&out, path.lineWidth, 3);
    out += path.roundJoin ? " w 1 j\n" : " w\n";
  }
  size_t point = 0;
  for (const uint8_t verb : path.verbs) {
    if (verb == sheetClosePath) {
      out += "h\n";
      continue;
    }
    appendCoordinate(&out, path.xy[point]);
    appendCoordinate(&out, content->height - path.xy[point + 1]);
    out += verb == sheetMoveTo ? "m\n" : "l\n";
    point += 2;
  }
  out += path.filled && path.stroked ? "B\nQ\n" : path.filled ? "f\nQ\n" : "S\nQ\n";
}

// Clockwise on the sheet is clockwise on the page: with y up, a turn by
// -angle; the anchor moves the start back along the baseline.
void appendTextMatrix(Content* content, const SheetText& text) {
  const double advance = helveticaAdvance(text.text, text.size, text.bold);
  const double c = std::cos(text.angle), s = std::sin(text.angle);
  std::string& out = content->text;
  for (const double value : {c, -s, s, c}) {
    appendNumber(&out, value, 5);
    out += ' ';
  }
  appendCoordinate(&out, text.x - text.anchor * advance * c);
  appendCoordinate(&out, content->height - (text.y - text.anchor * advance * s));
  out += "Tm\n";
}

void appendText(Content* content, const SheetText& text) {
  std::string& out = content->text;
  out += "q\n";
  appendOpacity(content, text.colour.alpha, text.haloWidth > 0.0 ? text.halo.alpha : 1.0);
  out += text.bold ? "BT\n/F2 " : "BT\n/F1 ";
  appendNumber(&out, text.size, 3);
  out += " Tf\n";
  // The halo is the same letters stroked; an empty ActualText keeps text
  // extraction from reading them twice.
  if (text.haloWidth > 0.0) {
    appendColour(&out, text.halo, "RG");
    appendNumber(&out, text.haloWidth, 3);
    out += " w 1 j 1 Tr\n/Span << /ActualText () >> BDC\n";
    appendTextMatrix(content, text);
    appendString(&out, text.text);
    out += " Tj\nEMC\n0 Tr\n";
  }
  appendColour(&out, text.colour, "rg");
  appendTextMatrix(content, text);
  appendString(&out, text.text);
  out += " Tj\nET\nQ\n";
}

void appendImage(Content* content, const SheetImage& image, size_t number) {
  std::string& out = content->text;
  out += "q\n";
  for (const double value : {image.width, 0.0, 0.0, image.height, image.left}) appendCoordinate(&out, value);
  appendCoordinate(&out, content->height - image.top - image.height);
  out += "cm\n/I" + std::to_string(number) + " Do\nQ\n";
}

Content pageContent(const Sheet& sheet) {
  Content content{std::string(), sheet.height, {}};
  for (const SheetItem& item : sheet.items) {
    const size_t index = static_cast<size_t>(item.index);
    if (item.kind == sheetPath) {
      appendPath(&content, sheet.paths[index]);
    } else if (item.kind == sheetText) {
      appendText(&content, sheet.texts[index]);
    } else if (item.kind == sheetImage) {
      appendImage(&content, sheet.images[index], index);
    } else if (item.kind == sheetClip) {
      const SheetRectangle& clip = sheet.clips[index];
      content.text += "q\n";
      for (const double value : {clip.left, sheet.height - clip.top - clip.height, clip.width, clip.height}) {
        appendCoordinate(&content.text, value);
      }
      content.text += "re W n\n";
    } else {
      content.text += "Q\n";
    }
  }
  return content;
}

// The file as it is written: each object's offset for the cross-reference
// table.
struct PdfFile {
  ExportOutput* output;
  int64_t written = 0;
  std::vector<int64_t> offsets;  // of objects 1, 2, ...
};

void put(PdfFile* file, const std::string& bytes) {
  writeExportText(file->output, bytes);
  file->written += static_cast<int64_t>(bytes.size());
}

void putObject(PdfFile* file, const std::string& body) {
  file->offsets.push_back(file->written);
  put(file, std::to_string(file->offsets.size()) + " 0 obj\n" + body + "\nendobj\n");
}

bool deflated(const uint8_t* bytes, size_t count, std::string* packed) {
  uLongf room = compressBound(static_cast<uLong>(count));
  packed->assign(room, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed->data()), &room, bytes, static_cast<uLong>(count),
                Z_DEFAULT_COMPRESSION) != Z_OK) {
    return false;
  }
  packed->resize(room);
  return true;
}

void putStream(PdfFile* file, const std::string& dictionary, const std::string& packed) {
  putObject(file, "<< " + dictionary + (dictionary.empty() ? "" : " ") + "/Filter /FlateDecode /Length " + std::to_string(packed.size()) +
                      " >>\nstream\n" + packed + "\nendstream");
}

std::string resources(const Sheet& sheet, const Content& content) {
  std::string text = "<< /Font << /F1 5 0 R /F2 6 0 R >>";
  if (!sheet.images.empty()) {
    text += " /XObject <<";
    for (size_t i = 0; i < sheet.images.size(); ++i) {
      text += " /I" + std::to_string(i) + " " + std::to_string(firstImageObject + static_cast<int32_t>(i)) + " 0 R";
    }
    text += " >>";
  }
  if (!content.alphas.empty()) {
    text += " /ExtGState <<";
    for (size_t i = 0; i < content.alphas.size(); ++i) {
      text += " /G" + std::to_string(i) + " << /ca ";
      appendNumber(&text, content.alphas[i].first, 4);
      text += " /CA ";
      appendNumber(&text, content.alphas[i].second, 4);
      text += " >>";
    }
    text += " >>";
  }
  return text + " >>";
}

// "YYYY-MM-DDThh:mm:ssZ" as PDF writes dates, "D:YYYYMMDDhhmmssZ".
std::string pdfDate(const std::string& date) {
  std::string digits;
  for (const char c : date) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits.size() == 14 ? "D:" + digits + "Z" : std::string();
}

std::string information(const Sheet& sheet) {
  std::string text = "<< /Title ";
  appendString(&text, sheet.title);
  text += " /Creator (tsvmesh-export) /Producer (tsvmesh-export " TSVMESH_VERSION ")";
  const std::string date = pdfDate(sheet.date);
  if (!date.empty()) text += " /CreationDate (" + date + ")";
  return text + " >>";
}

std::string pageObject(const Sheet& sheet, const Content& content) {
  std::string text = "<< /Type /Page /Parent 2 0 R /MediaBox [ 0 0 ";
  appendNumber(&text, sheet.width, 6);
  text += ' ';
  appendNumber(&text, sheet.height, 6);
  return text + " ] /Resources " + resources(sheet, content) + " /Contents " + std::to_string(contentObject) +
         " 0 R >>";
}

void putTrailer(PdfFile* file) {
  const int64_t table = file->written;
  const size_t count = file->offsets.size();
  std::string text = "xref\n0 " + std::to_string(count + 1) + "\n0000000000 65535 f \n";
  for (const int64_t offset : file->offsets) {
    char line[32];
    std::snprintf(line, sizeof line, "%010lld 00000 n \n", static_cast<long long>(offset));
    text += line;
  }
  text += "trailer\n<< /Size " + std::to_string(count + 1) + " /Root 1 0 R /Info " + std::to_string(count) +
          " 0 R >>\nstartxref\n" + std::to_string(table) + "\n%%EOF\n";
  put(file, text);
}

}  // namespace

bool writeSheetPdf(const Sheet& sheet, ExportOutput* output, ExportProgress* progress, std::string* problem) {
  const Content content = pageContent(sheet);
  std::string packed;
  if (!deflated(reinterpret_cast<const uint8_t*>(content.text.data()), content.text.size(), &packed)) {
    *problem = "zlib could not compress the page";
    return false;
  }
  const int64_t steps = static_cast<int64_t>(sheet.images.size()) + 2;
  updateExportProgress(progress, "writing", 0, steps);
  PdfFile file{output, 0, {}};
  put(&file, "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
  putObject(&file, "<< /Type /Catalog /Pages 2 0 R >>");
  putObject(&file, "<< /Type /Pages /Kids [ 3 0 R ] /Count 1 >>");
  putObject(&file, pageObject(sheet, content));
  putStream(&file, "", packed);
  for (const char* font : {"Helvetica", "Helvetica-Bold"}) {
    putObject(&file, std::string("<< /Type /Font /Subtype /Type1 /BaseFont /") + font +
                         " /Encoding /WinAnsiEncoding >>");
  }
  for (size_t i = 0; i < sheet.images.size(); ++i) {
    updateExportProgress(progress, "writing", static_cast<int64_t>(i) + 1, steps);
    const SheetImage& image = sheet.images[i];
    if (!deflated(image.rgb.data(), image.rgb.size(), &packed)) {
      *problem = "zlib could not compress an image";
      return false;
    }
    putStream(&file,
              "/Type /XObject /Subtype /Image /Width " + std::to_string(image.columns) + " /Height " +
                  std::to_string(image.rows) + " /ColorSpace /DeviceRGB /BitsPerComponent 8" +
                  (image.smooth ? " /Interpolate true" : ""),
              packed);
  }
  putObject(&file, information(sheet));
  putTrailer(&file);
  return true;
}
