// Google Benchmark cases for the stages of a run, each on prepared input:
// reading the points file, sorting, triangulating, writing the triangle file
// and reading it back for the statistic.
//   build-bench/bench/tsvmesh_bench [--benchmark_filter=Triangulate]
// Inputs are made in memory; files go to a scratch folder under TMPDIR that
// is removed at the end. Tables are sized once per case and reused across
// iterations, so that fresh-memory faults do not swamp the measurement.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "input/points_file.h"
#include "mesh/mesh_tables.h"
#include "mesh/point_order.h"
#include "mesh/triangulation.h"
#include "output/statistic.h"
#include "output/triangle_file.h"
#include "point_sets.h"

namespace {

constexpr uint64_t benchSeed = 20240601;

// The stages print progress and results on standard output; inside a case
// that goes to /dev/null so the benchmark's own table stays readable.
class QuietStdout {
 public:
  QuietStdout() {
    std::fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    const int sink = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && sink >= 0) dup2(sink, STDOUT_FILENO);
    if (sink >= 0) close(sink);
  }
  ~QuietStdout() {
    std::fflush(stdout);
    if (saved_ >= 0) {
      dup2(saved_, STDOUT_FILENO);
      close(saved_);
    }
  }
  QuietStdout(const QuietStdout&) = delete;
  QuietStdout& operator=(const QuietStdout&) = delete;

 private:
  int saved_ = -1;
};

const std::string& scratchDir() {
  static const std::string dir = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/tsvmesh_bench.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    return pattern;
  }();
  return dir;
}

std::vector<std::string>& scratchFiles() {
  static std::vector<std::string> files;
  return files;
}

std::string scratchFile(const char* name) {
  std::string path = scratchDir() + "/" + name;
  scratchFiles().push_back(path);
  return path;
}

// Point sets are costly to make at 1M; every case that needs one shares it.
const std::vector<BenchMicroPoint>& microPoints(int32_t set, int32_t count) {
  static std::map<std::pair<int32_t, int32_t>, std::vector<BenchMicroPoint>> cache;
  std::vector<BenchMicroPoint>& points = cache[{set, count}];
  if (points.empty()) makeBenchPoints(set, count, benchSeed, &points);
  return points;
}

// The points as the reading pass stores them: in file order, n + 3 slots.
std::vector<MeshPoint> filePoints(int32_t set, int32_t count) {
  const std::vector<BenchMicroPoint>& micro = microPoints(set, count);
  std::vector<MeshPoint> points(micro.size() + 3, MeshPoint{0.0, 0.0, 0.0});
  for (size_t i = 0; i < micro.size(); ++i) {
    points[i] = {benchMicroToDouble(micro[i].x), benchMicroToDouble(micro[i].y),
                 benchMicroToDouble(micro[i].z)};
  }
  return points;
}

void sortFilePoints(std::vector<MeshPoint>* points) {
  const auto n = static_cast<int32_t>(points->size() - 3);
  std::vector<MeshTriangle> scratch(static_cast<size_t>(triangleTableCapacity(n)));
  sortPointsByX(points->data(), n, scratch.data(), scratch.size() * sizeof(MeshTriangle));
}

// A finished triangulation of one point set, for the output cases.
struct PreparedMesh {
  std::vector<MeshPoint> points;
  std::vector<MeshTriangle> triangles;
  int32_t triangleCount = 0;
};

const PreparedMesh& preparedMesh(int32_t set, int32_t count) {
  static std::map<std::pair<int32_t, int32_t>, PreparedMesh> cache;
  PreparedMesh& mesh = cache[{set, count}];
  if (mesh.points.empty()) {
    mesh.points = filePoints(set, count);
    sortFilePoints(&mesh.points);
    const auto n = static_cast<int32_t>(mesh.points.size() - 3);
    mesh.triangles.resize(static_cast<size_t>(triangleTableCapacity(n)));
    QuietStdout quiet;
    buildDelaunayMesh(n, mesh.points.data(), mesh.triangles.data(), &mesh.triangleCount, MeshProgress{nullptr, nullptr});
  }
  return mesh;
}

int64_t fileSize(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return 0;
  std::fseek(file, 0, SEEK_END);
  const long size = std::ftell(file);
  std::fclose(file);
  return size;
}

void BM_ReadPointsFile(benchmark::State& state) {
  const auto count = static_cast<int32_t>(state.range(0));
  const std::string path = scratchFile("read.tsv");
  const std::string csvPath = scratchDir() + "/read.csv";
  if (!writeBenchPointsFile(path.c_str(), csvPath.c_str(), microPoints(benchUniform, count))) {
    state.SkipWithError("cannot write the points file");
    return;
  }
  MeshPoint* table = allocatePointTable(count);
  if (table == nullptr) {
    state.SkipWithError("cannot allocate the point table");
    return;
  }
  std::string outputPath;
  int32_t stored = 0;
  for (auto _ : state) {
    MeshPointsFile file;
    if (openPointsFile(path.c_str(), &file) != pointsFileOk) {
      state.SkipWithError("cannot open the points file");
      break;
    }
    readOutputPath(&file, &outputPath);
    const int32_t counted = countPoints(&file);
    stored = readPoints(&file, table, counted < count ? counted : count);
    closePointsFile(&file);
    benchmark::DoNotOptimize(table);
  }
  meshRelease(table);
  if (stored != count) state.SkipWithError("the reading pass lost points");
  state.SetItemsProcessed(state.iterations() * count);
  state.SetBytesProcessed(state.iterations() * fileSize(path));
}
BENCHMARK(BM_ReadPointsFile)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Only the sort is timed: every iteration starts again from file order.
void BM_SortPointsByX(benchmark::State& state) {
  const auto count = static_cast<int32_t>(state.range(0));
  const std::vector<MeshPoint> unsorted = filePoints(benchUniform, count);
  std::vector<MeshPoint> points = unsorted;
  std::vector<MeshTriangle> scratch(static_cast<size_t>(triangleTableCapacity(count)));
  for (auto _ : state) {
    std::memcpy(points.data(), unsorted.data(), unsorted.size() * sizeof(MeshPoint));
    const auto start = std::chrono::steady_clock::now();
    sortPointsByX(points.data(), count, scratch.data(), scratch.size() * sizeof(MeshTriangle));
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    benchmark::DoNotOptimize(points.data());
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_SortPointsByX)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond);

// Arguments: point set, point count. The triangulation only adds the
// super-triangle corners to the sorted table, so one table serves all
// iterations.
void BM_Triangulate(benchmark::State& state) {
  const auto set = static_cast<int32_t>(state.range(0));
  const auto count = static_cast<int32_t>(state.range(1));
  std::vector<MeshPoint> points = filePoints(set, count);
  sortFilePoints(&points);
  const auto n = static_cast<int32_t>(points.size() - 3);
  std::vector<MeshTriangle> triangles(static_cast<size_t>(triangleTableCapacity(n)));
  int32_t triangleCount = 0;
  int32_t status = meshOk;
  {
    QuietStdout quiet;
    for (auto _ : state) {
      triangleCount = 0;
      status = buildDelaunayMesh(n, points.data(), triangles.data(), &triangleCount, MeshProgress{nullptr, nullptr});
      benchmark::DoNotOptimize(triangles.data());
    }
  }
  if (status != meshOk) state.SkipWithError("the triangulation failed");
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["triangles"] = triangleCount;
}
BENCHMARK(BM_Triangulate)
    ->ArgNames({"set", "points"})
    ->Args({benchUniform, 10000})
    ->Args({benchUniform, 100000})
    ->Args({benchUniform, 1000000})
    ->Unit(benchmark::kMillisecond);
// The lattice is all cocircular quadruples and takes seconds: one pass each.
BENCHMARK(BM_Triangulate)
    ->ArgNames({"set", "points"})
    ->Args({benchGrid, 250000})
    ->Args({benchGrid, 1000000})
    ->Args({benchJittered, 1000000})
    ->Args({benchClustered, 1000000})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_WriteTriangleFile(benchmark::State& state) {
  const PreparedMesh& mesh = preparedMesh(benchUniform, static_cast<int32_t>(state.range(0)));
  const std::string path = scratchFile("write.csv");
  {
    QuietStdout quiet;
    for (auto _ : state) {
      MeshTriangleFile file;
      if (createTriangleFile(path.c_str(), &file) != triangleFileOk ||
          writeTriangleBlocks(&file, mesh.points.data(), nullptr, mesh.triangles.data(), mesh.triangleCount) !=
              triangleFileOk ||
          closeTriangleFile(&file) != triangleFileOk) {
        state.SkipWithError("cannot write the triangle file");
        break;
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * mesh.triangleCount);
  state.SetBytesProcessed(state.iterations() * fileSize(path));
}
BENCHMARK(BM_WriteTriangleFile)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Times the read-back and the summary over the placeholder; each iteration
// first writes the file afresh, untimed, since the summary overwrites it.
void BM_ReadBackStatistic(benchmark::State& state) {
  const PreparedMesh& mesh = preparedMesh(benchUniform, static_cast<int32_t>(state.range(0)));
  const std::string path = scratchFile("statistic.csv");
  {
    QuietStdout quiet;
    for (auto _ : state) {
      MeshTriangleFile file;
      if (createTriangleFile(path.c_str(), &file) != triangleFileOk ||
          writeTriangleBlocks(&file, mesh.points.data(), nullptr, mesh.triangles.data(), mesh.triangleCount) !=
              triangleFileOk) {
        state.SkipWithError("cannot write the triangle file");
        break;
      }
      const auto start = std::chrono::steady_clock::now();
      MeshSideSum sides{0, false};
      MeshAverage average{0, false};
      const bool ok = sumLongestSides(&file, mesh.triangleCount, &sides) == triangleFileOk &&
                      writeTriangleSummary(&file, mesh.triangleCount, sides, &average) == triangleFileOk;
      state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      closeTriangleFile(&file);
      if (!ok) {
        state.SkipWithError("cannot read the triangle file back");
        break;
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * mesh.triangleCount);
  state.SetBytesProcessed(state.iterations() * fileSize(path));
}
BENCHMARK(BM_ReadBackStatistic)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const std::string& path : scratchFiles()) std::remove(path.c_str());
  rmdir(scratchDir().c_str());
  return 0;
}
