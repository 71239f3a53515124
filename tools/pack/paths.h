// The path chunk (PATH) for containers: a counted list of record offsets (0
// for an empty slot), then the records {name, kind, closed, precision, point
// count n, n points {x, y, speed} as floats}.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pack.h"

namespace twpack {

struct Path {
  std::string name;
  int32_t kind = 0;       // 1 smooth; stored as written
  uint32_t closed = 1;
  int32_t precision = 4;  // stored as written, even out of range
  std::vector<std::array<float, 3>> points;  // x, y, speed
  // For bad-input fixtures: a point count to write instead of the points'.
  std::optional<uint32_t> point_count;
};

// Writes the body of an (empty) PATH chunk.
void WritePaths(ChunkBuilder& c, const std::vector<std::optional<Path>>& paths);

}  // namespace twpack
