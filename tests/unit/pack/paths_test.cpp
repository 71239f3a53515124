// The writer's path chunk: its bytes as laid out, read back by a reader of
// the test's own and by the engine's loader, and the description's errors.
#include "paths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/game_data.h"
#include "core/paths.h"
#include "pack.h"
#include "unit/container_bytes.h"

namespace {

using testbytes::Body;
using testbytes::Rd32;

float F32(const testbytes::Bytes& b, size_t at) {
  const uint32_t bits = Rd32(b, at);
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

using testbytes::Str;

const char kTwoPaths[] = R"(
PATH "pth_loop" kind=1 precision=3 points=0,0,100,10,0,50
PATH none
PATH "pth_line" closed=0 precision=-2 points=1.5,-2,100
)";

TEST(PackPaths, RecordsAreLaidOutAsTheLoaderReadsThem) {
  const testbytes::Bytes b = twpack::BuildFromDescription(kTwoPaths);
  const size_t body = Body(b, "PATH");
  ASSERT_EQ(Rd32(b, body), 3u);
  EXPECT_EQ(Rd32(b, body + 8), 0u) << "the empty slot";
  const uint32_t first = Rd32(b, body + 4), third = Rd32(b, body + 12);
  EXPECT_EQ(first, body + 16) << "records follow the list";
  EXPECT_EQ(Str(b, Rd32(b, first)), "pth_loop");
  const uint32_t want[] = {1, 1, 3, 2};  // kind, closed by default, precision, points
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(Rd32(b, first + 4 + 4 * i), want[i]) << "word " << i + 1;
  EXPECT_EQ(F32(b, first + 20 + 12), 10.0f);
  EXPECT_EQ(F32(b, first + 20 + 20), 50.0f);
  EXPECT_EQ(third, first + 20 + 24);
  EXPECT_EQ(Rd32(b, third + 8), 0u);
  EXPECT_EQ(int32_t(Rd32(b, third + 12)), -2) << "precision is written as given";

  GameDataFile file(b);
  std::optional<ChunkRef> chunk;
  for (const ChunkRef& c : file.Chunks())
    if (std::memcmp(c.tag, "PATH", 4) == 0) chunk = c;
  ASSERT_TRUE(chunk);
  ASSERT_TRUE(Path_Load(ChunkBody(file, *chunk)));
  ASSERT_EQ(Path_Count(), 3);
  EXPECT_FALSE(Path_Exists(1));
  EXPECT_EQ(Path_GetName(2), "pth_line");
  EXPECT_FALSE(Path_Get(2)->GetClosed());
  EXPECT_FLOAT_EQ(Path_Get(2)->GetPoint(0).x, 1.5f);
  EXPECT_FLOAT_EQ(Path_Get(0)->GetPoint(1).speed, 50);
  Path_FreeAll();
}

}  // namespace
