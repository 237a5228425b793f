#include "export/write/gis_features.h"

#include "export/products/coded_lines.h"
#include "export/products/contours.h"
#include "export/progress.h"
#include "export/read/mesh_file.h"

namespace {

struct FieldColumn {
  const char* name;
  OGRFieldType type;
  bool boolean;
};

bool createFields(OGRLayerH layer, std::initializer_list<FieldColumn> fields) {
  for (const FieldColumn& column : fields) {
    OGRFieldDefnH field = OGR_Fld_Create(column.name, column.type);
    if (column.boolean) OGR_Fld_SetSubType(field, OFSTBoolean);
    const bool ok = OGR_L_CreateField(layer, field, TRUE) == OGRERR_NONE;
    OGR_Fld_Destroy(field);
    if (!ok) return false;
  }
  return true;
}

// Adds the feature with geometry (which it takes) and drops it.
bool addFeature(OGRLayerH layer, OGRFeatureH feature, OGRGeometryH geometry) {
  OGR_F_SetGeometryDirectly(feature, geometry);
  const bool ok = OGR_L_CreateFeature(layer, feature) == OGRERR_NONE;
  OGR_F_Destroy(feature);
  return ok;
}

}  // namespace

bool addFaceFeatures(OGRLayerH layer, const ExportMesh& mesh, const std::vector<uint8_t>& kept,
                     ExportProgress* progress) {
  bool ok = createFields(layer, {{"face", OFTInteger, false}, {"mean_z", OFTReal, false}});
  for (int32_t f = 0; ok && f < mesh.triangleCount; ++f) {
    if ((f & 0xFFFF) == 0) updateExportProgress(progress, "writing", f, mesh.triangleCount);
    if (!kept.empty() && kept[static_cast<size_t>(f)] == 0) continue;
    OGRFeatureH feature = OGR_F_Create(OGR_L_GetLayerDefn(layer));
    OGRGeometryH ring = OGR_G_CreateGeometry(wkbLinearRing);
    double sum = 0.0;
    for (int32_t c = 0; c <= 3; ++c) {
      const ExportVertex& v = mesh.vertices[static_cast<size_t>(mesh.corners[static_cast<size_t>(f) * 3 + c % 3])];
      OGR_G_AddPoint(ring, v.x, v.y, v.z);
      if (c < 3) sum += v.z;
    }
    OGRGeometryH polygon = OGR_G_CreateGeometry(wkbPolygon25D);
    OGR_G_AddGeometryDirectly(polygon, ring);
    OGR_F_SetFieldInteger(feature, 0, f + 1);
    OGR_F_SetFieldDouble(feature, 1, sum / 3.0);
    ok = addFeature(layer, feature, polygon);
  }
  return ok;
}

bool addContourFeatures(OGRLayerH layer, const ExportContours& contours) {
  bool ok = createFields(layer, {{"elevation", OFTReal, false}, {"index", OFTInteger, true}});
  for (size_t l = 0; ok && l < contours.lines.size(); ++l) {
    const ExportContourLine& line = contours.lines[l];
    const ExportContourLevel& level = contours.levels[static_cast<size_t>(line.level)];
    OGRGeometryH geometry = OGR_G_CreateGeometry(wkbLineString25D);
    const double* xy = &contours.xy[static_cast<size_t>(line.firstPoint)];
    for (int32_t p = 0; p <= line.pointCount; ++p) {
      if (p == line.pointCount && !line.closed) break;
      const double* at = xy + static_cast<size_t>(p % line.pointCount) * 2;
      OGR_G_AddPoint(geometry, at[0], at[1], level.elevation);
    }
    OGRFeatureH feature = OGR_F_Create(OGR_L_GetLayerDefn(layer));
    OGR_F_SetFieldDouble(feature, 0, level.elevation);
    OGR_F_SetFieldInteger(feature, 1, level.index ? 1 : 0);
    ok = addFeature(layer, feature, geometry);
  }
  return ok;
}

bool addSurveyPointFeatures(OGRLayerH layer, const std::vector<ExportSurveyPoint>& points,
                            const char* descriptionField) {
  bool ok = createFields(layer, {{"number", OFTString, false},
                                 {"code", OFTString, false},
                                 {descriptionField, OFTString, false},
                                 {"z", OFTReal, false}});
  for (size_t p = 0; ok && p < points.size(); ++p) {
    const ExportSurveyPoint& point = points[p];
    OGRGeometryH geometry = OGR_G_CreateGeometry(wkbPoint25D);
    OGR_G_SetPoint(geometry, 0, point.x, point.y, point.z);
    OGRFeatureH feature = OGR_F_Create(OGR_L_GetLayerDefn(layer));
    OGR_F_SetFieldString(feature, 0, point.name.c_str());
    OGR_F_SetFieldString(feature, 1, point.code.c_str());
    OGR_F_SetFieldString(feature, 2, point.description.c_str());
    OGR_F_SetFieldDouble(feature, 3, point.z);
    ok = addFeature(layer, feature, geometry);
  }
  return ok;
}

bool addCodedLineFeatures(OGRLayerH layer, const CodedLines& lines) {
  bool ok = createFields(layer, {{"code", OFTString, false}});
  for (size_t l = 0; ok && l < lines.lines.size(); ++l) {
    const CodedLine& line = lines.lines[l];
    OGRGeometryH geometry = OGR_G_CreateGeometry(wkbLineString25D);
    for (int32_t v = 0; v < line.vertexCount; ++v) {
      const ExportVertex& at = lines.vertices[static_cast<size_t>(line.firstVertex + v)];
      OGR_G_AddPoint(geometry, at.x, at.y, at.z);
    }
    OGRFeatureH feature = OGR_F_Create(OGR_L_GetLayerDefn(layer));
    OGR_F_SetFieldString(feature, 0, line.code.c_str());
    ok = addFeature(layer, feature, geometry);
  }
  return ok;
}
