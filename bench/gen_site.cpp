// Writes the example field file examples/site.csv: a PNEZD survey of a
// sloping site of 120 m by 80 m with a stockpile on it, in the form survey
// instruments export (a header, point numbers, millimetres, descriptions,
// some with commas and so quoted):
//   tsvmesh_gen_site SITE.csv [SEED]
// The coordinates are whole millimetres made with integer arithmetic and
// correctly rounded operations only, so every platform writes the same file.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

constexpr int64_t eastingOrigin = 512000000;    // mm
constexpr int64_t northingOrigin = 5403000000;  // mm

struct Shot {
  int64_t x, y;  // mm from the site's south-west corner
  const char* description;
};

// The ground: 250 m at the south-west corner, rising 2 cm a metre east and
// 1 cm north, and a cone of spoil 6 m high and 15 m across the base at
// (60 m, 40 m). Millimetres, rounded.
int64_t elevationAt(int64_t x, int64_t y) {
  const double dx = static_cast<double>(x - 60000), dy = static_cast<double>(y - 40000);
  const double r = std::sqrt(dx * dx + dy * dy);
  const double pile = r < 15000.0 ? 6000.0 * (1.0 - r / 15000.0) : 0.0;
  return 250000 + x / 50 + y / 100 + static_cast<int64_t>(std::llround(pile));
}

std::string millimetres(int64_t mm) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(mm / 1000), static_cast<long long>(mm % 1000));
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fputs("usage: tsvmesh_gen_site SITE.csv [SEED]\n", stderr);
    return 2;
  }
  std::mt19937_64 random(argc == 3 ? std::strtoull(argv[2], nullptr, 10) : 20261209u);
  const auto below = [&](int64_t limit) { return static_cast<int64_t>(random() % static_cast<uint64_t>(limit)); };

  std::string text = "Point,Northing,Easting,Elevation,Description\r\n";
  int32_t number = 1001;
  const auto shoot = [&](const Shot& s) {
    const std::string d = s.description;
    text += std::to_string(number++) + "," + millimetres(northingOrigin + s.y) + "," +
            millimetres(eastingOrigin + s.x) + "," + millimetres(elevationAt(s.x, s.y)) + "," +
            (d.find(',') != std::string::npos ? "\"" + d + "\"" : d) + "\r\n";
  };
  // The site's corners, then ground shots away from the pile.
  for (const Shot& corner : {Shot{0, 0, "CORNER, SW"}, Shot{120000, 0, "CORNER, SE"},
                             Shot{120000, 80000, "CORNER, NE"}, Shot{0, 80000, "CORNER, NW"}}) {
    shoot(corner);
  }
  for (int32_t k = 0; k < 200;) {
    const Shot s{below(120001), below(80001), "GROUND"};
    const int64_t dx = s.x - 60000, dy = s.y - 40000;
    if (dx * dx + dy * dy < int64_t{17000} * 17000) continue;
    shoot(s);
    ++k;
  }
  // The pile: its toe, two rings on its flank and its top, surveyed round.
  const struct {
    int32_t shots;
    double radius;
    const char* description;
  } rings[] = {{32, 15000.0, "TOE OF STOCKPILE"}, {24, 10000.0, "STOCKPILE"}, {16, 5000.0, "STOCKPILE"}};
  for (const auto& ring : rings) {
    for (int32_t k = 0; k < ring.shots; ++k) {
      // Rounded to whole millimetres, cos and sin give the same shots on
      // every platform unless one lands within a rounding of half a mm.
      const double angle = 6.283185307179586 * k / ring.shots;
      shoot({60000 + std::llround(ring.radius * std::cos(angle)), 40000 + std::llround(ring.radius * std::sin(angle)),
             ring.description});
    }
  }
  shoot({60000, 40000, "TOP OF STOCKPILE"});
  // A fence along the north side and a few trees.
  for (int64_t x = 5000; x <= 115000; x += 10000) shoot({x, 78000, "FENCE, POST"});
  for (const Shot& tree : {Shot{15250, 60125, "TREE, OAK"}, Shot{30500, 12750, "TREE, BIRCH"},
                           Shot{95125, 65500, "TREE, OAK"}, Shot{105750, 20250, "TREE, ASH"}}) {
    shoot(tree);
  }

  FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr || std::fwrite(text.data(), 1, text.size(), out) != text.size() || std::fclose(out) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
