// Feeds arbitrary bytes to the object and timeline loaders. The first byte
// picks the chunk (bit 0: OBJT or TMLN) and the format version (bits 1-2);
// the rest is the chunk body, placed in a container after a GEN8 chunk, so
// offsets in it count from the container's start (the body begins at 184).
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/code_chunks.h"
#include "core/game_data.h"
#include "core/game_info.h"
#include "core/object_lists.h"
#include "core/objects.h"
#include "core/timelines.h"
#include "runner/startup.h"
#include "script/vm.h"

namespace {
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  uint8_t w[4];
  std::memcpy(w, &v, 4);
  b.insert(b.end(), w, w + 4);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool kWorld = (Runner_InstallWorld(), VM_Init(), true);
  (void)kWorld;
  if (size < 1 || size > 1 << 20) return 0;
  static const uint8_t kVersions[4] = {5, 6, 8, 13};
  const bool timelines = data[0] & 1;
  const uint8_t version = kVersions[(data[0] >> 1) & 3];

  std::vector<uint8_t> bytes = {'F', 'O', 'R', 'M', 0, 0, 0, 0, 'G', 'E', 'N', '8'};
  Put32(bytes, 40 * 4);
  Put32(bytes, uint32_t(version) << 8);
  bytes.resize(bytes.size() + 39 * 4);
  bytes.insert(bytes.end(), timelines ? "TMLN" : "OBJT", (timelines ? "TMLN" : "OBJT") + 4);
  Put32(bytes, uint32_t(size - 1));
  bytes.insert(bytes.end(), data + 1, data + size);
  const uint32_t rest = uint32_t(bytes.size() - 8);
  std::memcpy(&bytes[4], &rest, 4);

  Code_Clear();  // event code is text: no code table
  try {
    GameDataFile file(std::move(bytes));
    const std::vector<ChunkRef> chunks = file.Chunks();
    GameData_ReadGEN8(ChunkBody(file, chunks[0]));
    ChunkBody body(file, chunks[1]);
    if (timelines) {
      TimeLine_Load(body);
      for (int32_t i = 0; i < TimeLine_Count(); ++i) {
        if (CTimeLine* t = TimeLine_Get(i)) {
          t->FirstMomentAtOrAfter(t->GetMomentStep(0) + 0.5);
          t->LastMomentAtOrBefore(-1);
          t->DeleteMoment(t->GetMomentStep(t->MomentCount() - 1));
        }
      }
    } else {
      Object_Load(body);
      ObjectLists_Build();
    }
  } catch (const DataError&) {
    // Refusing damaged data is the expected outcome.
  }
  TimeLine_Clear();
  Object_Clear();
  return 0;
}
