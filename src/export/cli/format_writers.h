// One writer a row of the format table: each takes the run's one surface
// and what was computed from it, and calls the product's own writer.
#pragma once

#include <cstdint>
#include <string>

struct CodedLines;
struct ExportContours;
struct ExportProfile;
struct ExportMesh;
struct ExportOptions;
struct ExportOutput;
struct ExportProgress;

// Dates inside the files come from the input file, not the clock, so the
// same input always gives the same bytes.
struct ExportDates {
  char date[32];     // YYYY-MM-DD
  char time[32];     // hh:mm:ss
  char pdfDate[80];  // YYYY-MM-DDThh:mm:ssZ
};

// What one output is made from.
struct ExportJob {
  const ExportMesh* surface = nullptr;
  const ExportMesh* other = nullptr;          // --compare's surface, or null
  const ExportContours* contours = nullptr;   // null when none were asked for
  const CodedLines* lines = nullptr;          // --lines' lines; null when not asked for
  const ExportProfile* profile = nullptr;     // --profile's sections; null when not asked for
  const ExportOptions* options = nullptr;
  const char* outputPath = nullptr;
  std::string inputName;                      // INPUT's file name, without folders
  ExportDates dates{};
};

ExportDates exportDatesOf(const char* path);

// INPUT's file name without folders, either separator on every system so
// that a name gives the same bytes wherever it is exported.
std::string exportBaseName(const std::string& path);

bool writePngProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string* message);
bool writeSvgProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string* message);
bool writePdfProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string* message);
bool writePlyProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string* message);
bool writeObjProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string* message);
bool writeLandXmlProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress,
                         std::string* message);
bool writePageProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string* message);
bool writeDxfProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string* message);
bool writeGeoJsonProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress,
                         std::string* message);
bool writeAscProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string* message);
bool writeTifProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string* message);
bool writeGpkgProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string* message);
bool writeShpProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string* message);
bool writeCsvProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string* message);
bool writeTextReportProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress,
                            std::string* message);
bool writeJsonReportProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress,
                            std::string* message);
