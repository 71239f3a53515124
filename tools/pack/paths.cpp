#include "paths.h"

#include "resources.h"

namespace twpack {

void WritePaths(ChunkBuilder& c, const std::vector<std::optional<Path>>& paths) {
  const std::vector<Label> slots = Slots(c, paths);
  for (size_t i = 0; i < paths.size(); ++i) {
    if (!paths[i]) continue;
    const Path& p = *paths[i];
    c.Bind(slots[i]);
    c.StringRef(p.name).S32(p.kind).U32(p.closed).S32(p.precision);
    c.U32(p.point_count.value_or(uint32_t(p.points.size())));
    for (const auto& point : p.points) c.F32(point[0]).F32(point[1]).F32(point[2]);
  }
}

}  // namespace twpack
