#include "core/game_data.h"
#include "runner/load_game.h"

#include <gtest/gtest.h>

#include <cstring>

#include "runner/command_line.h"
#include "core/game_info.h"
#include "core/options.h"
#include "core/rooms.h"
#include "script/function_registry.h"
#include "pack.h"
#include "unit/world_reset.h"

namespace {

std::vector<uint8_t> Build(twpack::Writer& w) { return w.Build(); }

void PutU32(std::vector<uint8_t>& b, size_t off, uint32_t v) { std::memcpy(&b[off], &v, 4); }
uint32_t GetU32(const std::vector<uint8_t>& b, size_t off) {
  uint32_t v;
  std::memcpy(&v, &b[off], 4);
  return v;
}

// Offset of the first chunk with this tag (of its tag bytes).
size_t FindChunk(const std::vector<uint8_t>& b, const char* tag) {
  size_t pos = 8;
  while (pos + 8 <= b.size()) {
    if (std::memcmp(&b[pos], tag, 4) == 0) return pos;
    pos += 8 + GetU32(b, pos + 4);
  }
  ADD_FAILURE() << "no chunk " << tag;
  return 0;
}

bool Walk(const std::vector<uint8_t>& bytes) {
  GameDataFile file(bytes);
  testing::internal::CaptureStdout();
  bool ok;
  try {
    GameData_LoadHeader(file);
    ok = GameData_ProcessChunks(file);
  } catch (const DataError&) {
    ok = false;
  }
  testing::internal::GetCapturedStdout();
  return ok;
}

TEST(GameDataFile, ChunksAreListedInOrderWithTheirBodies) {
  twpack::Writer w;
  w.AddChunk("ABCD").U32(7).U32(9);
  w.AddEmptyChunk("DAFL");
  auto bytes = Build(w);
  GameDataFile f(bytes);
  ASSERT_TRUE(f.HasFormTag());
  ASSERT_TRUE(f.LengthMatches());
  auto chunks = f.Chunks();
  ASSERT_EQ(chunks.size(), 3u);  // and the string pool
  EXPECT_STREQ(chunks[0].tag, "ABCD");
  EXPECT_EQ(chunks[0].body, 16u);
  EXPECT_EQ(chunks[0].length, 8u);
  EXPECT_EQ(f.U32(chunks[0].body + 4), 9u);
  EXPECT_STREQ(chunks[1].tag, "DAFL");
  EXPECT_EQ(chunks[1].length, 0u);
  EXPECT_STREQ(chunks[2].tag, "STRG");
}

TEST(GameDataFile, StringReferencesAreChecked) {
  twpack::Writer w;
  w.AddChunk("TEST").StringRef("hello").StringRef("");
  auto bytes = Build(w);
  GameDataFile f(bytes);
  uint32_t body = f.Chunks()[0].body;
  EXPECT_EQ(f.String(f.U32(body)), "hello");
  EXPECT_EQ(f.String(f.U32(body + 4)), "");
  EXPECT_EQ(f.String(0), "");
  EXPECT_THROW(f.String(2), DataError);                  // before any length word
  EXPECT_THROW(f.String(f.Size() + 100), DataError);     // outside
  EXPECT_THROW(f.String(0xFFFFFFFFu), DataError);        // wraps
  // A length word that runs past the end.
  auto bad = bytes;
  PutU32(bad, GetU32(bad, body) - 4, 0xFFFFFFF0u);
  EXPECT_THROW(GameDataFile(bad).String(GetU32(bad, body)), DataError);
  // A string without its terminator.
  bad = bytes;
  bad[GetU32(bad, body) + 5] = 'x';
  EXPECT_THROW(GameDataFile(bad).String(GetU32(bad, body)), DataError);
}

TEST(GameDataFile, ReadsOutsideTheContainerThrow) {
  std::vector<uint8_t> bytes = {'F', 'O', 'R', 'M', 0, 0, 0, 0};
  GameDataFile f(bytes);
  EXPECT_EQ(f.U32(4), 0u);
  EXPECT_THROW(f.U32(5), DataError);
  EXPECT_THROW(f.U16(7), DataError);
  EXPECT_THROW(f.U8(8), DataError);
  EXPECT_THROW(f.Bytes(4, 0xFFFFFFFFu), DataError);
  EXPECT_TRUE(f.Chunks().empty());
}

TEST(GameDataFile, ChunkRunningPastTheEndOrWrappingIsRefused) {
  twpack::Writer w;
  w.AddChunk("AAAA").U32(1);
  auto bytes = Build(w);
  for (uint32_t len : {5u, 0xFFFFFFFFu, 0xFFFFFFF8u}) {
    auto bad = bytes;
    PutU32(bad, 12, len);
    EXPECT_THROW(GameDataFile(bad).Chunks(), DataError) << len;
  }
  // A header cut off by the end of the file.
  auto cut = bytes;
  cut.resize(cut.size() + 3);
  PutU32(cut, 4, uint32_t(cut.size() - 8));
  EXPECT_THROW(GameDataFile(cut).Chunks(), DataError);
}

TEST(ChunkBody, CountedListsAreChecked) {
  twpack::Writer w;
  auto& c = w.AddChunk("SPRT");
  auto rec = c.NewLabel();
  c.U32(3).OffsetOf(rec).Null().OffsetOf(rec).Bind(rec).U32(42);
  auto bytes = Build(w);
  GameDataFile f(bytes);
  ChunkBody body(f, f.Chunks()[0]);
  auto list = body.OffsetList();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[1], 0u);  // an empty slot keeps its index
  EXPECT_EQ(f.U32(list[0]), 42u);

  auto bad = bytes;
  PutU32(bad, 16, 1000);  // more entries than the body holds
  GameDataFile f2(bad);
  EXPECT_THROW(ChunkBody(f2, f2.Chunks()[0]).OffsetList(), DataError);
  bad = bytes;
  PutU32(bad, 20, uint32_t(bad.size()));  // an entry outside the container
  GameDataFile f3(bad);
  EXPECT_THROW(ChunkBody(f3, f3.Chunks()[0]).OffsetList(), DataError);
}

// ---- GEN8 for every format version --------------------------------------------

struct Gen8Case {
  int version;
  uint32_t countWord;
};

// The header is read into the game info and the room order from their start state.
class Gen8Versions : public RoomWorldTest, public ::testing::WithParamInterface<Gen8Case> {};

TEST_P(Gen8Versions, HeaderAndRoomOrderAreReadWhereTheVersionPutsThem) {
  const Gen8Case& c = GetParam();
  twpack::Writer w;
  twpack::Gen8 g;
  g.version = uint8_t(c.version);
  g.debug = 1;
  g.name = "Name";
  g.config = "Cfg";
  g.display_name = "Shown";
  g.width = 640;
  g.height = 360;
  g.flags = 0x40;
  g.game_id = 77;
  g.last_instance_id = 100123;
  g.last_tile_id = 10000456;
  g.feature_lo = 0;
  g.feature_hi = 0;
  g.steam_app_id = 4242;
  g.room_order = {3, 1, 2};
  twpack::AddGen8(w, g);
  auto bytes = w.Build();
  ASSERT_EQ(GetU32(bytes, FindChunk(bytes, "GEN8") + 8 + 4 * c.countWord), 3u);
  ASSERT_TRUE(Walk(bytes));

  const GameInfoHeader& info = GameInfo_Get();
  EXPECT_TRUE(info.read);
  EXPECT_EQ(info.version, c.version);
  EXPECT_EQ(info.debug_byte, 1);
  EXPECT_EQ(info.name, "Name");
  EXPECT_EQ(info.config, "Cfg");
  EXPECT_EQ(info.game_id, 77);
  EXPECT_EQ(info.last_instance_id, 100123u);
  EXPECT_EQ(info.last_tile_id, 10000456u);
  EXPECT_EQ(info.room_order, (std::vector<int32_t>{3, 1, 2}));
  EXPECT_EQ(Room_GetOrder(), (std::vector<int32_t>{3, 1, 2}));
  if (c.version < 8) {
    EXPECT_EQ(info.width, 800u);
    EXPECT_EQ(info.height, 480u);
    EXPECT_EQ(info.flags, 2u);
    EXPECT_EQ(info.display_name, "");
  } else {
    EXPECT_EQ(info.width, 640u);
    EXPECT_EQ(info.height, 360u);
    EXPECT_EQ(info.flags, 0x40u);
    EXPECT_EQ(info.display_name, "Shown");
  }
  if (c.version >= 12 && c.version <= 13) {
    EXPECT_EQ(info.feature_mask, 0u);
  } else if (c.version < 12) {
    EXPECT_EQ(info.feature_mask, ~uint64_t(0));
  }
  if (c.version == 13) {
    EXPECT_EQ(info.steam_app_id, 4242u);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, Gen8Versions,
                         ::testing::Values(Gen8Case{7, 9}, Gen8Case{8, 25}, Gen8Case{9, 25}, Gen8Case{10, 26},
                                           Gen8Case{11, 28}, Gen8Case{12, 30}, Gen8Case{13, 31},
                                           Gen8Case{14, 25}));

TEST(Gen8, EmptyRoomOrderAndSteamFlag) {
  twpack::Writer w;
  twpack::Gen8 g;
  g.flags = 0x1000;
  twpack::AddGen8(w, g);
  g_SteamMode = false;
  bool ok = Walk(w.Build());
  bool steam = g_SteamMode;
  g_SteamMode = false;
  ASSERT_TRUE(ok);
  EXPECT_TRUE(GameInfo_Get().room_order.empty());
  EXPECT_TRUE(steam);
}

TEST(Gen8, Version11KeepsTheSignExtended64BitValue) {
  twpack::Writer w;
  twpack::Gen8 g;
  g.version = 11;
  g.word26 = 0xFFFFFFFEu;
  g.word27 = 0;
  twpack::AddGen8(w, g);
  ASSERT_TRUE(Walk(w.Build()));
  EXPECT_EQ(GameInfo_Get().value26, -2);
}

TEST(Gen8, RoomOrderCountBeyondTheChunkIsRefused) {
  twpack::Writer w;
  twpack::Gen8 g;
  g.room_order = {0, 1};
  g.room_count_override = 1000000;
  twpack::AddGen8(w, g);
  EXPECT_FALSE(Walk(w.Build()));
}

TEST(Gen8, TooShortForItsVersionIsRefused) {
  twpack::Writer w;
  w.AddChunk("GEN8").U32(13 << 8).U32(0).U32(0);
  EXPECT_FALSE(Walk(w.Build()));
}

TEST(Gen8, BadStringReferenceIsRefused) {
  twpack::Writer w;
  twpack::AddGen8(w, twpack::Gen8());
  auto bytes = w.Build();
  PutU32(bytes, FindChunk(bytes, "GEN8") + 8 + 4, uint32_t(bytes.size() + 10));
  EXPECT_FALSE(Walk(bytes));
}

// ---- OPTN -----------------------------------------------------------------------

TEST(Options, DefaultsWithoutAnOptionsChunk) {
  twpack::Writer w;
  twpack::AddGen8(w, twpack::Gen8());
  ASSERT_TRUE(Walk(w.Build()));
  const GameOptions& o = Options_Get();
  EXPECT_TRUE(o.show_cursor);
  EXPECT_EQ(o.window_colour, 0xFFFFFFu);
  EXPECT_EQ(o.words[5], 100u);
  EXPECT_EQ(o.words[28], 255u);
  EXPECT_TRUE(o.constant_names.empty());
}

TEST(Options, WordsAndConstantsAreRead) {
  twpack::Writer w;
  twpack::AddGen8(w, twpack::Gen8());
  twpack::Optn o;
  o.words[0] = 1;
  o.words[22] = 7;    // a flag: read as 1
  o.words[11] = 4;    // a number: kept
  o.words[32] = 1;
  o.word26 = "extra";
  o.constants = {{"VersionMajor", "2"}, {"versionminor", "5"}, {"VersionMinor", "3"}, {"Speed", "4.5"}};
  twpack::AddOptn(w, o);
  ASSERT_TRUE(Walk(w.Build()));
  const GameOptions& r = Options_Get();
  EXPECT_TRUE(r.fullscreen);
  EXPECT_EQ(r.words[22], 1u);
  EXPECT_TRUE(r.freeze_inactive);
  EXPECT_EQ(r.resolution, 4u);
  EXPECT_TRUE(r.abort_on_error);
  EXPECT_EQ(r.word26, "extra");
  EXPECT_EQ(r.version_major, 2);
  EXPECT_EQ(r.version_minor, 3);  // letter case matters
  ASSERT_EQ(r.constant_names.size(), 4u);
  EXPECT_EQ(r.constant_names[3], "Speed");
  EXPECT_EQ(r.constant_values[3], "4.5");
}

TEST(Options, InAWindowClearsFullScreen) {
  twpack::Writer w;
  twpack::AddGen8(w, twpack::Gen8());
  twpack::Optn o;
  o.words[0] = 1;
  twpack::AddOptn(w, o);
  g_InAWindow = true;
  bool ok = Walk(w.Build());
  g_InAWindow = false;
  ASSERT_TRUE(ok);
  EXPECT_FALSE(Options_Get().fullscreen);
}

TEST(Options, ConstantCountBeyondTheChunkIsRefused) {
  twpack::Writer w;
  twpack::AddGen8(w, twpack::Gen8());
  twpack::Optn o;
  o.constants = {{"a", "1"}};
  o.constant_count_override = 0x40000000u;
  twpack::AddOptn(w, o);
  EXPECT_FALSE(Walk(w.Build()));
}

// ---- The walk -------------------------------------------------------------------

TEST(ChunkWalk, ForeignChunkIsReportedAndTheWalkGoesOn) {
  twpack::Writer w;
  twpack::AddGen8(w, twpack::Gen8());
  w.AddRawChunk("ZZZZ", {1, 2, 3, 4});
  twpack::Optn o;
  o.words[4] = 0;
  twpack::AddOptn(w, o);
  GameDataFile f(w.Build());
  testing::internal::CaptureStdout();
  GameData_LoadHeader(f);
  bool ok = GameData_ProcessChunks(f);
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_FALSE(ok);
  EXPECT_NE(log.find("unknown Chunk ZZZZ:1515870810\n"), std::string::npos) << log;
  EXPECT_FALSE(Options_Get().show_cursor);  // the chunk after it was loaded
}

TEST(ChunkWalk, ASecondHeaderLoadRegistersNoBuiltInTwice) {
  twpack::Writer w;
  twpack::AddGen8(w, twpack::Gen8());
  twpack::AddOptn(w, twpack::Optn());
  const std::vector<uint8_t> bytes = w.Build();
  FunctionRegistry_Free();
  Walk(bytes);
  const int count = FunctionRegistry_Count();
  ASSERT_GT(count, 0);
  Walk(bytes);
  EXPECT_EQ(FunctionRegistry_Count(), count);
  // A released table is filled again by the next load.
  FunctionRegistry_Free();
  Walk(bytes);
  EXPECT_EQ(FunctionRegistry_Count(), count);
}

TEST(ChunkWalk, LogsEveryChunkAndSkipsEmptyOnes) {
  twpack::Writer w;
  twpack::AddGen8(w, twpack::Gen8());
  w.AddEmptyChunk("CODE");
  w.AddEmptyChunk("ZZZZ");  // empty: skipped before its tag is looked at
  GameDataFile f(w.Build());
  testing::internal::CaptureStdout();
  GameData_LoadHeader(f);
  bool ok = GameData_ProcessChunks(f);
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(ok);
  size_t at = log.find("initialise everything!\n");
  ASSERT_NE(at, std::string::npos);
  EXPECT_NE(log.find("Process Chunk: GEN8   ", at), std::string::npos);
  EXPECT_NE(log.find("Process Chunk: CODE   0\nProcess Chunk: ZZZZ   0\nProcess Chunk: STRG   ", at),
            std::string::npos)
      << log;
}

TEST(ChunkWalk, LengthWordMismatchFails) {
  twpack::Writer w;
  twpack::AddGen8(w, twpack::Gen8());
  auto bytes = w.Build();
  PutU32(bytes, 4, GetU32(bytes, 4) - 1);
  EXPECT_FALSE(Walk(bytes));
}

TEST(ChunkWalk, CountedListOutsideTheContainerFails) {
  twpack::Writer w;
  twpack::AddGen8(w, twpack::Gen8());
  w.AddChunk("SPRT").U32(1).U32(0xFFFFFF00u);
  EXPECT_FALSE(Walk(w.Build()));
}

}  // namespace
