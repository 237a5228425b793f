#include "export/write/terrain_page.h"

#include <bit>
#include <utility>

#include "export/output.h"
#include "export/products/contours.h"
#include "export/progress.h"
#include "export/read/mesh_file.h"
#include "export/write/mesh_formats.h"
#include "export/write/three_script.h"

namespace {

// Bytes encoded between two looks at the progress bar; a multiple of 3, so
// that the pieces of base64 join without padding.
constexpr size_t encodeStride = size_t{3} << 16;

const char pageStyle[] = R"(<style>
html, body { margin: 0; height: 100%; overflow: hidden; background: #e9edf2; font: 14px system-ui, sans-serif; }
canvas#view { display: block; width: 100%; height: 100%; touch-action: none; }
.box { position: absolute; background: rgba(255, 255, 255, 0.88); border-radius: 6px; padding: 8px 10px;
       box-shadow: 0 1px 4px rgba(0, 0, 0, 0.25); }
#panel { left: 10px; top: 10px; max-width: 60%; }
#panel .name { font-weight: 600; overflow-wrap: anywhere; }
#panel label { display: block; margin-top: 6px; }
#legend { right: 10px; top: 10px; display: flex; gap: 6px; }
#ramp { width: 16px; height: 180px; }
#legend .labels { display: flex; flex-direction: column; justify-content: space-between; }
#help { left: 10px; bottom: 10px; font-size: 12px; color: #444; }
</style>
)";

// The page's own script: reads the embedded data, builds the scene, and
// marks the page ready (data-ready = the triangle count) after the first
// frame. The ramp is the pictures' viridis, in the same nine stops.
const char pageScript[] = R"(<script>
(function () {
  'use strict';
  var ramp = [[68, 1, 84], [71, 45, 123], [59, 82, 139], [44, 114, 142], [33, 145, 140],
              [40, 174, 128], [94, 201, 98], [173, 220, 48], [253, 231, 37]];
  function rampColour(t, out, at) {
    var s = Math.min(Math.max(t, 0), 1) * (ramp.length - 1);
    var k = Math.min(Math.floor(s), ramp.length - 2), f = s - k;
    for (var c = 0; c < 3; ++c) out[at + c] = (ramp[k][c] + (ramp[k + 1][c] - ramp[k][c]) * f) / 255;
  }
  // Decoded once; the text is then dropped from the page to free its memory.
  function bytes(id) {
    var element = document.getElementById(id);
    var text = atob(element.textContent);
    element.textContent = '';
    var out = new Uint8Array(text.length);
    for (var i = 0; i < text.length; ++i) out[i] = text.charCodeAt(i);
    return out.buffer;
  }
  var triangles = Number(document.body.getAttribute('data-triangles'));
  var positions = new Float32Array(bytes('positions'));
  var indices = new Uint32Array(bytes('indices'));
  var count = positions.length / 3;
  var low = [Infinity, Infinity, Infinity], high = [-Infinity, -Infinity, -Infinity];
  for (var i = 0; i < positions.length; i += 3) {
    for (var c = 0; c < 3; ++c) {
      low[c] = Math.min(low[c], positions[i + c]);
      high[c] = Math.max(high[c], positions[i + c]);
    }
  }
  if (count === 0) low = high = [0, 0, 0];
  var extent = Math.max(high[0] - low[0], high[1] - low[1], 1e-6);
  var zSpan = high[2] - low[2];
  var colours = new Float32Array(positions.length);
  for (i = 0; i < count; ++i) rampColour(zSpan > 0 ? (positions[3 * i + 2] - low[2]) / zSpan : 0.5, colours, 3 * i);
  document.getElementById('ramp').style.background = 'linear-gradient(to top, ' + ramp.map(function (c, k) {
    return 'rgb(' + c.join(',') + ') ' + (100 * k / (ramp.length - 1)) + '%';
  }).join(', ') + ')';

  var renderer;
  try {
    renderer = new THREE.WebGLRenderer({canvas: document.getElementById('view'), antialias: true});
  } catch (e) {
    document.getElementById('help').textContent = 'This browser cannot draw WebGL: ' + e.message;
    return;
  }
  renderer.setPixelRatio(window.devicePixelRatio || 1);
  var scene = new THREE.Scene();
  scene.background = new THREE.Color(0xe9edf2);
  var geometry = new THREE.BufferGeometry();
  geometry.setIndex(new THREE.BufferAttribute(indices, 1));
  geometry.setAttribute('position', new THREE.BufferAttribute(positions, 3));
  geometry.setAttribute('color', new THREE.BufferAttribute(colours, 3));
  geometry.computeVertexNormals();
  var surface = new THREE.Mesh(geometry, new THREE.MeshLambertMaterial(
      {vertexColors: THREE.VertexColors, side: THREE.DoubleSide}));
  scene.add(surface);
  // Contours lie on the surface: the surface is drawn a little behind them.
  surface.material.polygonOffset = true;
  surface.material.polygonOffsetFactor = 1;
  surface.material.polygonOffsetUnits = 1;
  var contourLines = new THREE.Group();
  [['contour-lines', 0.4], ['index-contour-lines', 0.85]].forEach(function (kind) {
    var points = new Float32Array(bytes(kind[0]));
    if (points.length === 0) return;
    var lines = new THREE.BufferGeometry();
    lines.setAttribute('position', new THREE.BufferAttribute(points, 3));
    contourLines.add(new THREE.LineSegments(lines, new THREE.LineBasicMaterial(
        {color: 0x000000, transparent: true, opacity: kind[1]})));
  });
  scene.add(contourLines);
  var contourSwitch = document.getElementById('contours');
  if (contourSwitch) {
    contourSwitch.addEventListener('change', function () {
      contourLines.visible = contourSwitch.checked;
      render();
    });
  }
  var wire = null;
  scene.add(new THREE.AmbientLight(0xffffff, 0.45));
  // The pictures' sun: from the north-west, 45 degrees above the horizon.
  var sun = new THREE.DirectionalLight(0xffffff, 0.7);
  sun.position.set(-1, 1, Math.SQRT2);
  scene.add(sun);

  var camera = new THREE.PerspectiveCamera(40, 1, extent / 2000, extent * 50);
  camera.up.set(0, 0, 1);
  camera.position.set(-0.4 * extent, -1.35 * extent, 0.9 * extent);
  var controls = new THREE.OrbitControls(camera, renderer.domElement);
  controls.screenSpacePanning = true;
  controls.target.set(0, 0, 0);
  controls.update();

  function render() { renderer.render(scene, camera); }
  function resize() {
    renderer.setSize(window.innerWidth, window.innerHeight, false);
    camera.aspect = window.innerWidth / Math.max(window.innerHeight, 1);
    camera.updateProjectionMatrix();
    render();
  }
  controls.addEventListener('change', render);
  window.addEventListener('resize', resize);

  // The smallest whole exaggeration (up to 10) that gives the relief a
  // tenth of the width, so that a flat survey does not open as a sheet.
  var slider = document.getElementById('exaggeration');
  var start = 1;
  while (start < 10 && zSpan * start < 0.1 * extent) ++start;
  slider.value = start;
  function exaggerate() {
    var k = Number(slider.value);
    surface.scale.z = k;
    contourLines.scale.z = k;
    if (wire) wire.scale.z = k;
    document.getElementById('factor').textContent = k + '\u00d7';
    render();
  }
  slider.addEventListener('input', exaggerate);
  document.getElementById('wireframe').addEventListener('change', function (event) {
    if (!wire) {
      wire = new THREE.Mesh(geometry, new THREE.MeshBasicMaterial(
          {color: 0x000000, wireframe: true, transparent: true, opacity: 0.35}));
      wire.scale.z = surface.scale.z;
      scene.add(wire);
    }
    wire.visible = event.target.checked;
    render();
  });
  exaggerate();
  resize();
  document.documentElement.setAttribute('data-ready', String(triangles));
})();
</script>
)";

void appendLittleEndian(std::vector<unsigned char>* bytes, uint32_t word) {
  for (int shift = 0; shift < 32; shift += 8) bytes->push_back(static_cast<unsigned char>(word >> shift));
}

// The z field of vertex v as the triangle file has it.
std::string zText(const ExportMesh& mesh, int32_t v) {
  const std::string text(mesh.text.data() + mesh.textStart[static_cast<size_t>(v)],
                         mesh.text.data() + mesh.textStart[static_cast<size_t>(v) + 1]);
  return text.substr(text.rfind(',') + 1);
}

void writeBase64Element(const char* id, const std::vector<unsigned char>& bytes, const char* phase,
                        ExportOutput* output, ExportProgress* progress) {
  writeExportText(output, std::string("<script type=\"application/octet-stream\" id=\"") + id + "\">");
  for (size_t at = 0; at < bytes.size(); at += encodeStride) {
    updateExportProgress(progress, phase, static_cast<int64_t>(at), static_cast<int64_t>(bytes.size()));
    const size_t count = bytes.size() - at < encodeStride ? bytes.size() - at : encodeStride;
    writeExportText(output, base64Text(bytes.data() + at, count));
  }
  writeExportText(output, "</script>\n");
}

}  // namespace

TerrainPageData terrainPageData(const ExportMesh& mesh, const ExportContours* contours) {
  TerrainPageData data;
  if (mesh.vertexCount == 0) return data;
  double low[3] = {mesh.vertices[0].x, mesh.vertices[0].y, mesh.vertices[0].z};
  double high[3] = {low[0], low[1], low[2]};
  for (const ExportVertex& vertex : mesh.vertices) {
    const double xyz[3] = {vertex.x, vertex.y, vertex.z};
    for (int c = 0; c < 3; ++c) {
      low[c] = xyz[c] < low[c] ? xyz[c] : low[c];
      high[c] = xyz[c] > high[c] ? xyz[c] : high[c];
    }
  }
  // Halves first: the sum of two huge coordinates could overflow.
  const double centre[3] = {low[0] / 2 + high[0] / 2, low[1] / 2 + high[1] / 2, low[2] / 2 + high[2] / 2};
  data.positions.reserve(static_cast<size_t>(mesh.vertexCount) * 3);
  for (const ExportVertex& vertex : mesh.vertices) {
    data.positions.push_back(static_cast<float>(vertex.x - centre[0]));
    data.positions.push_back(static_cast<float>(vertex.y - centre[1]));
    data.positions.push_back(static_cast<float>(vertex.z - centre[2]));
  }
  data.indices.assign(mesh.corners.begin(), mesh.corners.end());
  if (contours == nullptr) return data;
  for (const ExportContourLine& line : contours->lines) {
    const ExportContourLevel& level = contours->levels[static_cast<size_t>(line.level)];
    std::vector<float>* segments = level.index ? &data.indexContourSegments : &data.contourSegments;
    const float z = static_cast<float>(level.elevation - centre[2]);
    const int32_t steps = line.closed ? line.pointCount : line.pointCount - 1;
    for (int32_t k = 0; k < steps; ++k) {
      for (const int32_t p : {k, (k + 1) % line.pointCount}) {
        const size_t at = static_cast<size_t>(line.firstPoint + 2 * static_cast<int64_t>(p));
        segments->push_back(static_cast<float>(contours->xy[at] - centre[0]));
        segments->push_back(static_cast<float>(contours->xy[at + 1] - centre[1]));
        segments->push_back(z);
      }
    }
  }
  return data;
}

std::string base64Text(const unsigned char* bytes, size_t count) {
  static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve((count + 2) / 3 * 4);
  for (size_t i = 0; i < count; i += 3) {
    const uint32_t group = static_cast<uint32_t>(bytes[i]) << 16 |
                           (i + 1 < count ? static_cast<uint32_t>(bytes[i + 1]) << 8 : 0) |
                           (i + 2 < count ? static_cast<uint32_t>(bytes[i + 2]) : 0);
    text += digits[group >> 18];
    text += digits[(group >> 12) & 63];
    text += i + 1 < count ? digits[(group >> 6) & 63] : '=';
    text += i + 2 < count ? digits[group & 63] : '=';
  }
  return text;
}

void writeTerrainPage(const ExportMesh& mesh, const ExportContours* contours, const std::string& name,
                      ExportOutput* output, ExportProgress* progress) {
  const TerrainPageData data = terrainPageData(mesh, contours);
  int32_t lowest = 0;
  int32_t highest = 0;
  for (int32_t v = 1; v < mesh.vertexCount; ++v) {
    if (mesh.vertices[static_cast<size_t>(v)].z < mesh.vertices[static_cast<size_t>(lowest)].z) lowest = v;
    if (mesh.vertices[static_cast<size_t>(v)].z > mesh.vertices[static_cast<size_t>(highest)].z) highest = v;
  }
  const std::string zRange = mesh.vertexCount == 0 ? "none" : zText(mesh, lowest) + " to " + zText(mesh, highest);
  const std::string count = std::to_string(mesh.triangleCount);
  const std::string title = escapeXml(name);

  writeExportText(output, "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                          "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                          "<meta name=\"generator\" content=\"tsvmesh-export " TSVMESH_VERSION "\">\n<title>" +
                              title + " in 3D</title>\n");
  writeExportText(output, pageStyle);
  writeExportText(output, "</head>\n<body data-triangles=\"" + count + "\">\n<canvas id=\"view\"></canvas>\n");
  writeExportText(output, "<div id=\"panel\" class=\"box\"><div class=\"name\">" + title + "</div>\n<div>" + count +
                              (mesh.triangleCount == 1 ? " triangle" : " triangles") + ", z " + zRange +
                              "</div>\n<label>Vertical exaggeration <input id=\"exaggeration\" type=\"range\" "
                              "min=\"1\" max=\"10\" step=\"0.5\" value=\"1\"> <span id=\"factor\">1&times;</span>"
                              "</label>\n<label><input id=\"wireframe\" type=\"checkbox\"> Wireframe</label>\n" +
                              (contours == nullptr ? std::string()
                                                   : "<label><input id=\"contours\" type=\"checkbox\" checked> "
                                                     "Contours</label>\n") +
                              "</div>\n");
  writeExportText(output, "<div id=\"legend\" class=\"box\"><div id=\"ramp\"></div><div class=\"labels\"><span>" +
                              (mesh.vertexCount == 0 ? "" : zText(mesh, highest)) + "</span><span>" +
                              (mesh.vertexCount == 0 ? "" : zText(mesh, lowest)) + "</span></div></div>\n");
  writeExportText(output, "<div id=\"help\" class=\"box\">Drag to turn, right-drag or two fingers to move, wheel "
                          "or pinch to zoom. Coordinates are relative to the mesh's centre.</div>\n");

  std::vector<unsigned char> bytes;
  bytes.reserve(data.positions.size() * 4);
  for (const float value : data.positions) appendLittleEndian(&bytes, std::bit_cast<uint32_t>(value));
  writeBase64Element("positions", bytes, "vertices", output, progress);
  bytes.clear();
  bytes.reserve(data.indices.size() * 4);
  for (const uint32_t index : data.indices) appendLittleEndian(&bytes, index);
  writeBase64Element("indices", bytes, "faces", output, progress);
  const std::pair<const char*, const std::vector<float>*> lines[] = {
      {"contour-lines", &data.contourSegments}, {"index-contour-lines", &data.indexContourSegments}};
  for (const auto& [id, segments] : lines) {
    bytes.clear();
    for (const float value : *segments) appendLittleEndian(&bytes, std::bit_cast<uint32_t>(value));
    writeBase64Element(id, bytes, "contours", output, progress);
  }

  writeExportText(output, std::string("<script>\n/* three.js r") + threeRevision +
                              " and its OrbitControls (https://threejs.org), MIT licence, "
                              "copyright 2010-2019 three.js authors */\n");
  for (const ScriptPiece* piece = embeddedScript; piece->bytes != nullptr; ++piece) {
    writeExportBytes(output, piece->bytes, piece->size);
  }
  writeExportText(output, "</script>\n");
  writeExportText(output, pageScript);
  writeExportText(output, "</body>\n</html>\n");
}
