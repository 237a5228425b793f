#include "export/write/geotiff.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <iterator>

#include "export/output.h"
#include "export/progress.h"
#include "export/write/gdal_formats.h"
#include "export/write/number_text.h"

namespace {

// The geographic 2D systems of the EPSG registry (v10.076), as first and
// last code of each run of consecutive codes, in ascending order.
constexpr int32_t geographicRanges[][2] = {
    {3819, 3819}, {3821, 3821}, {3824, 3824}, {3889, 3889}, {3906, 3906}, {4001, 4016}, {4018, 4025}, {4027,
    4036}, {4041, 4047}, {4052, 4055}, {4075, 4075}, {4081, 4081}, {4120, 4176}, {4178, 4185}, {4188, 4216},
    {4218, 4289}, {4291, 4304}, {4306, 4319}, {4322, 4322}, {4324, 4324}, {4326, 4326}, {4463, 4463}, {4470,
    4470}, {4475, 4475}, {4483, 4483}, {4490, 4490}, {4555, 4555}, {4558, 4558}, {4600, 4646}, {4657, 4765},
    {4801, 4811}, {4813, 4821}, {4823, 4824}, {4901, 4904}, {5013, 5013}, {5132, 5132}, {5228, 5229}, {5233,
    5233}, {5246, 5246}, {5252, 5252}, {5264, 5264}, {5324, 5324}, {5340, 5340}, {5354, 5354}, {5360, 5360},
    {5365, 5365}, {5371, 5371}, {5373, 5373}, {5381, 5381}, {5393, 5393}, {5451, 5451}, {5464, 5464}, {5467,
    5467}, {5489, 5489}, {5524, 5524}, {5527, 5527}, {5546, 5546}, {5561, 5561}, {5593, 5593}, {5681, 5681},
    {5886, 5886}, {6135, 6135}, {6207, 6207}, {6311, 6311}, {6318, 6318}, {6322, 6322}, {6325, 6325}, {6365,
    6365}, {6668, 6668}, {6706, 6706}, {6783, 6783}, {6881, 6883}, {6892, 6892}, {6894, 6894}, {6980, 6980},
    {6983, 6983}, {6987, 6987}, {6990, 6990}, {7035, 7035}, {7037, 7037}, {7039, 7039}, {7041, 7041}, {7073,
    7073}, {7084, 7084}, {7086, 7086}, {7088, 7088}, {7133, 7133}, {7136, 7136}, {7139, 7139}, {7373, 7373},
    {7683, 7683}, {7686, 7686}, {7798, 7798}, {7844, 7844}, {7881, 7881}, {7886, 7886}, {8042, 8043}, {8086,
    8086}, {8232, 8232}, {8237, 8237}, {8240, 8240}, {8246, 8246}, {8249, 8249}, {8252, 8252}, {8255, 8255},
    {8351, 8351}, {8427, 8428}, {8431, 8431}, {8449, 8449}, {8545, 8545}, {8685, 8685}, {8694, 8694}, {8699,
    8699}, {8818, 8818}, {8860, 8860}, {8888, 8888}, {8900, 8900}, {8902, 8902}, {8907, 8907}, {8949, 8949},
    {8972, 9000}, {9003, 9003}, {9006, 9006}, {9009, 9009}, {9012, 9012}, {9014, 9014}, {9017, 9017}, {9019,
    9019}, {9053, 9057}, {9059, 9069}, {9072, 9072}, {9075, 9075}, {9140, 9140}, {9148, 9148}, {9153, 9153},
    {9184, 9184}, {9248, 9248}, {9251, 9251}, {9253, 9253}, {9294, 9294}, {9299, 9299}, {9309, 9309}, {9333,
    9333}, {9364, 9364}, {9372, 9372}, {9380, 9380}, {9384, 9384}, {9403, 9403}, {9453, 9453}, {9470, 9470},
    {9474, 9475}, {9547, 9547}, {9696, 9696}, {9702, 9702}, {9739, 9739}, {9755, 9755}, {9758, 9758}, {9763,
    9763}, {9777, 9777}, {9779, 9779}, {9782, 9782}, {9784, 9784}, {9866, 9866}, {9871, 9871}, {9939, 9939},
    {9964, 9964}, {9969, 9969}, {9974, 9974}, {9990, 9990}, {20033, 20033}, {20041, 20041}
};

// The TIFF field types used here and their sizes.
enum TiffType : uint16_t { tiffAscii = 2, tiffShort = 3, tiffLong = 4, tiffDouble = 12 };

// Cells per strip at most: strips of 256 KiB keep readers' buffers small.
constexpr int64_t stripCells = 65536;

// One directory entry whose values are already encoded (little-endian).
struct TiffField {
  uint16_t tag;
  uint16_t type;
  uint32_t count;
  std::string bytes;
};

void appendLittle(std::string* out, uint64_t value, int32_t size) {
  for (int32_t i = 0; i < size; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

TiffField shorts(uint16_t tag, const std::vector<uint16_t>& values) {
  TiffField field{tag, tiffShort, static_cast<uint32_t>(values.size()), {}};
  for (const uint16_t v : values) appendLittle(&field.bytes, v, 2);
  return field;
}

TiffField longs(uint16_t tag, const std::vector<uint32_t>& values) {
  TiffField field{tag, tiffLong, static_cast<uint32_t>(values.size()), {}};
  for (const uint32_t v : values) appendLittle(&field.bytes, v, 4);
  return field;
}

TiffField doubles(uint16_t tag, const std::vector<double>& values) {
  TiffField field{tag, tiffDouble, static_cast<uint32_t>(values.size()), {}};
  for (const double v : values) {
    uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    appendLittle(&field.bytes, bits, 8);
  }
  return field;
}

// GeoKeyDirectory: version 1.1.0, then (key, 0, 1, value) for each key:
// the model (projected or geographic), pixels as areas, and the code.
TiffField geoKeys(int32_t epsgCode) {
  const bool geographic = epsgCodeIsGeographic(epsgCode);
  const uint16_t systemKey = geographic ? 2048 : 3072;  // GeographicType, ProjectedCSType
  return shorts(34735, {1, 1, 0, 3, 1024, 0, 1, static_cast<uint16_t>(geographic ? 2 : 1), 1025, 0, 1, 1,
                        systemKey, 0, 1, static_cast<uint16_t>(epsgCode)});
}

// The directory and the values too large for their entries, laid out from
// offset 8; dataOffset is where the cells are to follow.
std::string directoryBytes(std::vector<TiffField>* fields, uint32_t* dataOffset) {
  const uint32_t directorySize = 2 + 12 * static_cast<uint32_t>(fields->size()) + 4;
  uint32_t extra = 8 + directorySize;
  std::string entries, values;
  appendLittle(&entries, fields->size(), 2);
  for (TiffField& field : *fields) {
    appendLittle(&entries, field.tag, 2);
    appendLittle(&entries, field.type, 2);
    appendLittle(&entries, field.count, 4);
    if (field.bytes.size() <= 4) {
      field.bytes.resize(4, '\0');
      entries += field.bytes;
      continue;
    }
    appendLittle(&entries, extra + values.size(), 4);
    values += field.bytes;
    if (values.size() % 2 != 0) values.push_back('\0');  // values start on a word
  }
  appendLittle(&entries, 0, 4);  // no further image
  std::string head = "II";
  appendLittle(&head, 42, 2);
  appendLittle(&head, 8, 4);
  head += entries + values;
  head.resize((head.size() + 7) / 8 * 8, '\0');
  *dataOffset = static_cast<uint32_t>(head.size());
  return head;
}

}  // namespace

bool parseEpsgCode(const char* srs, int32_t* code) {
  if (srs == nullptr || std::strlen(srs) < 6 || std::strlen(srs) > 10) return false;
  for (int32_t i = 0; i < 4; ++i) {
    if ((srs[i] | 0x20) != "epsg"[i]) return false;
  }
  if (srs[4] != ':') return false;
  int32_t value = 0;
  for (const char* at = srs + 5; *at != '\0'; ++at) {
    if (*at < '0' || *at > '9' || value > 65534) return false;
    value = value * 10 + (*at - '0');
  }
  if (value < 1 || value > 65534) return false;
  *code = value;
  return true;
}

bool epsgCodeIsGeographic(int32_t code) {
  const auto* after = std::upper_bound(std::begin(geographicRanges), std::end(geographicRanges), code,
                                       [](int32_t c, const int32_t(&range)[2]) { return c < range[0]; });
  return after != std::begin(geographicRanges) && code <= (*(after - 1))[1];
}

float gridFloatValue(double value, float nodata) {
  if (std::isnan(value)) return nodata;
  if (std::fabs(value) > FLT_MAX) return value < 0 ? -FLT_MAX : FLT_MAX;
  return static_cast<float>(value);
}

void writeBaselineGeoTiff(const ExportGridFrame& frame, const std::vector<double>& values, double nodata,
                          int32_t epsgCode, ExportOutput* output, ExportProgress* progress) {
  const uint32_t columns = static_cast<uint32_t>(frame.columns);
  const uint32_t rows = static_cast<uint32_t>(frame.rows);
  const uint32_t stripRows = static_cast<uint32_t>(std::max<int64_t>(1, stripCells / std::max(1, frame.columns)));
  const uint32_t strips = (rows + stripRows - 1) / stripRows;
  const float floatNodata = gridFloatValue(nodata, 0.0f);
  char nodataText[32];
  std::string nodataField(nodataText, appendShortestNumber(nodataText, static_cast<double>(floatNodata)));
  nodataField.push_back('\0');
  std::vector<uint32_t> stripOffsets(strips, 0), stripBytes(strips, 0);
  for (uint32_t s = 0; s < strips; ++s) stripBytes[s] = std::min(stripRows, rows - s * stripRows) * columns * 4;
  std::vector<TiffField> fields = {
      longs(256, {columns}), longs(257, {rows}), shorts(258, {32}), shorts(259, {1}),  // no compression
      shorts(262, {1}),                                                                  // black is zero
      longs(273, stripOffsets), shorts(277, {1}), longs(278, {stripRows}), longs(279, stripBytes),
      shorts(284, {1}), shorts(339, {3}),  // one plane, IEEE floats
      doubles(33550, {frame.cell, frame.cell, 0.0}),
      // The top-left corner of the top-left cell.
      doubles(33922, {0.0, 0.0, 0.0, (static_cast<double>(frame.firstColumn) - 0.5) * frame.cell,
                      (static_cast<double>(frame.topRow) + 0.5) * frame.cell, 0.0}),
      TiffField{42113, tiffAscii, static_cast<uint32_t>(nodataField.size()), nodataField}};
  // Without a code no key at all: a lone raster-type key would read as a
  // local system of unknown units.
  if (epsgCode != 0) fields.insert(fields.end() - 1, geoKeys(epsgCode));
  // The strips' offsets depend on the directory's size, which does not
  // depend on them: lay it out once to learn where the cells go, then again.
  uint32_t dataOffset = 0;
  std::vector<TiffField> draft = fields;
  directoryBytes(&draft, &dataOffset);
  for (uint32_t s = 0; s < strips; ++s) stripOffsets[s] = dataOffset + s * stripRows * columns * 4;
  fields[5] = longs(273, stripOffsets);
  writeExportText(output, directoryBytes(&fields, &dataOffset));
  std::string row(static_cast<size_t>(columns) * 4, '\0');
  for (uint32_t r = 0; r < rows; ++r) {
    if ((r & 63) == 0) updateExportProgress(progress, "writing", r, rows);
    const double* from = values.data() + static_cast<size_t>(r) * columns;
    for (uint32_t c = 0; c < columns; ++c) {
      const float value = gridFloatValue(from[c], floatNodata);
      uint32_t bits = 0;
      std::memcpy(&bits, &value, sizeof bits);
      for (int32_t i = 0; i < 4; ++i) row[static_cast<size_t>(c) * 4 + i] = static_cast<char>(bits >> (8 * i));
    }
    writeExportText(output, row);
  }
}

bool writeGeoTiffGrid(const ExportGridFrame& frame, const std::vector<double>& values, double nodata,
                      const char* srs, ExportOutput* output, ExportProgress* progress, std::string* problem) {
  int32_t code = 0;
  if (srs != nullptr && !parseEpsgCode(srs, &code)) {
    return writeGdalGeoTiff(frame, values, nodata, srs, output, progress, problem);
  }
  if (srs != nullptr && !checkGdalReference(srs, problem)) return false;
  writeBaselineGeoTiff(frame, values, nodata, code, output, progress);
  return true;
}
