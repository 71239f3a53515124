// What the description reader does with what a description leaves out or
// writes in an unusual order: the container must still be one the runner
// reads as meant.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pack.h"
#include "unit/container_bytes.h"

namespace {

using twpack::PackError;
using testbytes::Body;
using testbytes::Bytes;
using testbytes::Rd32;
using testbytes::Tags;

using Strings = std::vector<std::string>;

// GEN8 version 13: word 3 last instance id, word 4 last tile id, word 31 the
// room-order count, the rooms from word 32.
std::vector<int32_t> RoomOrder(const Bytes& b) {
  const size_t gen8 = Body(b, "GEN8");
  std::vector<int32_t> order(Rd32(b, gen8 + 4 * 31));
  for (size_t i = 0; i < order.size(); ++i) order[i] = int32_t(Rd32(b, gen8 + 4 * (32 + i)));
  return order;
}

// Record offsets of a chunk that starts with a counted offset list.
std::vector<uint32_t> Records(const Bytes& b, const char* tag) {
  const size_t body = Body(b, tag);
  std::vector<uint32_t> out(Rd32(b, body));
  for (size_t i = 0; i < out.size(); ++i) out[i] = Rd32(b, body + 4 + 4 * i);
  return out;
}

std::vector<uint32_t> ListAt(const Bytes& b, uint32_t list) {
  std::vector<uint32_t> out(Rd32(b, list));
  for (size_t i = 0; i < out.size(); ++i) out[i] = Rd32(b, list + 4 + 4 * i);
  return out;
}

// Room record words: 8 creation code, 12 instance list, 13 tile list.
// Instance entries: word 3 id, word 4 creation code; tile entries: word 8 id.
int32_t RoomCode(const Bytes& b, size_t room) { return int32_t(Rd32(b, Records(b, "ROOM")[room] + 32)); }
std::vector<uint32_t> Instances(const Bytes& b, size_t room) {
  return ListAt(b, Rd32(b, Records(b, "ROOM")[room] + 48));
}
std::vector<uint32_t> Tiles(const Bytes& b, size_t room) { return ListAt(b, Rd32(b, Records(b, "ROOM")[room] + 52)); }

std::string Refusal(const std::string& text) {
  try {
    twpack::BuildFromDescription(text);
  } catch (const PackError& e) {
    return e.what();
  }
  return "(accepted)";
}

// Each case's text, between `before` and `after`, is refused with a message
// holding its error.
struct RefusedCase {
  const char* text;
  const char* error;
};
template <size_t N>
void ExpectRefused(const std::string& before, const RefusedCase (&cases)[N], const std::string& after = "") {
  for (const RefusedCase& c : cases) {
    const std::string got = Refusal(before + c.text + after);
    EXPECT_NE(got.find(c.error), std::string::npos) << c.text << " -> " << got;
  }
}

// ---- Chunk order -------------------------------------------------------------------

const char kBackwards[] =
    "RAW ZZZZ 01\n"  // foreign, before anything known
    "EMPTY AUDO\n"
    "PAGE width=2 height=2 fill=0xFF0000FF\n"
    "STRG\n"
    "ROOM \"r\"\nEND\n"
    "RAW XTRA 02\n"  // foreign, after ROOM
    "OBJECT \"o\"\nEND\n"
    "SPRITE \"s\" width=2 height=2 frames=0\n"
    "ENTRY width=2 height=2\n"
    "OPTN\n"
    "GEN8\n";

TEST(DescriptionOrder, ChunksFollowTheContainerOrderWhateverTheDescriptionsOrder) {
  const Bytes b = twpack::BuildFromDescription(kBackwards);
  EXPECT_EQ(Tags(b), (Strings{"ZZZZ", "GEN8", "OPTN", "SPRT", "OBJT", "ROOM", "XTRA", "TPAG", "STRG", "TXTR",
                              "AUDO"}));
  // Offsets still reach their targets after the move: the sprite's frame is
  // the entry, which names page 0.
  const uint32_t sprite = Records(b, "SPRT")[0];
  EXPECT_EQ(Rd32(b, sprite + 4 * 15), Records(b, "TPAG")[0]);
}

TEST(DescriptionOrder, OrderWrittenKeepsTheDescriptionsOrder) {
  const Bytes b = twpack::BuildFromDescription(std::string("ORDER written\n") + kBackwards);
  EXPECT_EQ(Tags(b), (Strings{"ZZZZ", "AUDO", "TXTR", "STRG", "ROOM", "XTRA", "OBJT", "SPRT", "TPAG", "OPTN",
                              "GEN8"}));
  EXPECT_NE(Refusal("ORDER sorted\n").find("line 1: ORDER takes container or written"), std::string::npos);
}

TEST(WriterOrder, ContainerOrderPutsAnUnplacedPoolWhereStrgBelongs) {
  twpack::Writer w;
  w.SetOrder(twpack::Writer::Order::kContainer);
  w.AddChunk("TXTR").StringRef("t");
  w.AddChunk("CODE").U32(0);
  w.AddChunk("GEN8").U32(0);
  EXPECT_EQ(Tags(w.Build()), (Strings{"GEN8", "CODE", "STRG", "TXTR"}));
  w.SetOrder(twpack::Writer::Order::kAsAdded);
  EXPECT_EQ(Tags(w.Build()), (Strings{"TXTR", "CODE", "GEN8", "STRG"}));
}

// ---- Code fields left out ----------------------------------------------------------

TEST(DescriptionCode, LeftOutCodeIsTheNoneOfTheGamesCodeForm) {
  const struct {
    const char* what;
    const char* code;  // the object's event line and anything more
    int32_t none;      // what a left-out room or instance code field holds
  } cases[] = {
      // Source text: the field is a string reference, none is 0.
      {"source text", "EVENT 0 0 text=\"x = 1;\"\n", 0},
      {"no code at all", "", 0},
      {"only 0 on the room", "", 0},
      // A CODE index: none is -1.
      {"code records", "EVENT 0 0 code=\"c\"\nEND\nCODE \"c\"\n  push.e 1\n  popz.e\n", -1},
      {"numbered compiled events", "EVENT 0 0 code=3\n", -1},
      {"compiled event 0", "EVENT 0 0 code=0\n", -1},
      {"a raw CODE chunk", "END\nRAW CODE 00000000\nOBJECT \"p\"\n", -1},
  };
  for (const auto& c : cases) {
    const std::string text = std::string("GEN8\nOBJECT \"o\"\n") + c.code + "END\n" +
                             (std::string(c.what) == "only 0 on the room" ? "ROOM \"r0\" code=0\n" : "ROOM \"r0\"\n") +
                             "  INSTANCE object=0 id=100001\nEND\nROOM \"r1\"\nEND\n";
    const Bytes b = twpack::BuildFromDescription(text);
    EXPECT_EQ(RoomCode(b, 1), c.none) << c.what;
    EXPECT_EQ(int32_t(Rd32(b, Instances(b, 0)[0] + 16)), c.none) << c.what;
  }
}

TEST(DescriptionCode, ScriptsWithoutCodeAreEmptyTextOrRefused) {
  const Bytes b = twpack::BuildFromDescription("SCRIPT \"a\" text=\"return 1;\"\nSCRIPT \"empty\"\n");
  EXPECT_EQ(Rd32(b, Records(b, "SCPT")[1] + 4), 0u);  // the null text
  EXPECT_NE(Refusal("SCRIPT \"a\" code=2\nSCRIPT \"b\"\n").find("script \"b\" has no code="), std::string::npos);
}

TEST(DescriptionCode, FieldsTheCompiledRunnerWouldRefuseAreRefused) {
  const std::string compiled = "CODE \"c\"\n  push.e 1\n  popz.e\nEND\n";
  const RefusedCase cases[] = {
      {"ROOM \"r\" text=\"x = 1;\"\nEND\n", "room \"r\" has text=, but needs code="},
      {"ROOM \"r\"\n  INSTANCE object=0 text=\"x\"\nEND\n", "instance 0 of room \"r\" has text="},
      {"SCRIPT \"s\" text=\"x\"\n", "script \"s\" has text="},
      {"OBJECT \"o\"\n  EVENT ev_step ev_step_begin text=\"x\"\nEND\n",
       "event 3 1 of object \"o\" has an action without code="},
      {"OBJECT \"o\"\n  EVENT 0 0 code=\"c\"\n  ACTION text=\"x\"\nEND\n", "event 0 0 of object \"o\""},
      {"TIMELINE \"t\"\n  MOMENT 4\nEND\n", "moment 4 of timeline \"t\""},
  };
  ExpectRefused("GEN8\n" + compiled, cases);
}

// ---- Header fields left out --------------------------------------------------------

TEST(DescriptionHeader, LeftOutRoomOrderIsEveryRoomInIndexOrder) {
  const char rooms[] = "ROOM \"a\"\nEND\nROOM none\nROOM \"c\"\nEND\n";
  EXPECT_EQ(RoomOrder(twpack::BuildFromDescription(std::string("GEN8\n") + rooms)), (std::vector<int32_t>{0, 2}));
  EXPECT_EQ(RoomOrder(twpack::BuildFromDescription(std::string("GEN8 rooms=2\n") + rooms)),
            (std::vector<int32_t>{2}));
  EXPECT_EQ(RoomOrder(twpack::BuildFromDescription(std::string("GEN8 rooms=\n") + rooms)), (std::vector<int32_t>{}));
  EXPECT_NE(Refusal(rooms).find("the rooms need a GEN8 line"), std::string::npos);
}

TEST(DescriptionHeader, InstancesAndTilesWithoutIdsGetFreshOnesAndTheCountersPassThem) {
  const Bytes b = twpack::BuildFromDescription(
      "GEN8\n"
      "ROOM \"a\"\n  INSTANCE object=0\n  INSTANCE object=0 id=100007\n  TILE\nEND\n"
      "ROOM \"b\"\n  INSTANCE object=0\n  TILE id=10000003\n  TILE\nEND\n");
  auto ids = [&](const std::vector<uint32_t>& entries, size_t word) {
    std::vector<uint32_t> out;
    for (uint32_t e : entries) out.push_back(Rd32(b, e + 4 * word));
    return out;
  };
  EXPECT_EQ(ids(Instances(b, 0), 3), (std::vector<uint32_t>{100008, 100007}));
  EXPECT_EQ(ids(Instances(b, 1), 3), (std::vector<uint32_t>{100009}));
  EXPECT_EQ(ids(Tiles(b, 0), 8), (std::vector<uint32_t>{10000004}));
  EXPECT_EQ(ids(Tiles(b, 1), 8), (std::vector<uint32_t>{10000003, 10000005}));
  const size_t gen8 = Body(b, "GEN8");
  EXPECT_EQ(Rd32(b, gen8 + 12), 100009u);  // new instances start above every room's
  EXPECT_EQ(Rd32(b, gen8 + 16), 10000005u);

  // Counters the description sets stay as set.
  const Bytes set = twpack::BuildFromDescription(
      "GEN8 last_instance=100100 last_tile=5\nROOM \"a\"\n  INSTANCE object=0\n  INSTANCE object=0 id=100001\nEND\n");
  EXPECT_EQ(Rd32(set, Instances(set, 0)[0] + 12), 100101u);
  EXPECT_EQ(Rd32(set, Body(set, "GEN8") + 12), 100100u);
  EXPECT_EQ(Rd32(set, Body(set, "GEN8") + 16), 5u);
}

TEST(DescriptionImages, EntriesWithoutPagesAreRefused) {
  EXPECT_NE(Refusal("GEN8\nENTRY width=2 height=2\nSPRITE \"s\" frames=0\n").find("no PAGE line"),
            std::string::npos);
}

// ---- Event names -------------------------------------------------------------------

TEST(DescriptionEvents, TypesAndSubtypesByName) {
  const struct {
    const char* line;
    uint32_t type;
    int32_t subtype;
  } cases[] = {
      {"EVENT ev_create 0", 0, 0},
      {"EVENT ev_alarm 11", 2, 11},
      {"EVENT ev_step ev_step_end", 3, 2},
      {"EVENT ev_collision 4", 4, 4},
      {"EVENT ev_keyboard vk_left", 5, 37},
      {"EVENT ev_keypress \"a\"", 9, 65},
      {"EVENT ev_keyrelease \"7\"", 10, 55},
      {"EVENT ev_mouse ev_global_left_press", 6, 53},
      {"EVENT ev_mouse ev_mouse_wheel_down", 6, 61},
      {"EVENT ev_other ev_user15", 7, 25},
      {"EVENT ev_other ev_close_button", 7, 30},
      {"EVENT ev_draw ev_gui", 8, 64},
      {"EVENT 11 3", 11, 3},
  };
  for (const auto& c : cases) {
    const Bytes b = twpack::BuildFromDescription(std::string("OBJECT \"o\"\n  ") + c.line + "\nEND\n");
    const uint32_t o = Records(b, "OBJT")[0];
    // Version 13 objects: 8 words, the 12-word physics block, then the
    // event-type list.
    const std::vector<uint32_t> types = ListAt(b, o + 4 * 20);
    ASSERT_EQ(types.size(), 12u);
    const std::vector<uint32_t> entries = ListAt(b, types[c.type]);
    ASSERT_EQ(entries.size(), 1u) << c.line;
    EXPECT_EQ(int32_t(Rd32(b, entries[0])), c.subtype) << c.line;
  }
}

TEST(DescriptionEvents, NamesOfTheWrongKindAreRefused) {
  const RefusedCase cases[] = {
      {"EVENT ev_step_begin 0", "line 2: unknown event type 'ev_step_begin'"},
      {"EVENT c_red 0", "unknown event type 'c_red'"},
      {"EVENT ev_step ev_left_button", "'ev_left_button' is not a subtype of event type 3"},
      {"EVENT ev_mouse ev_user0", "'ev_user0' is not a subtype of event type 6"},
      {"EVENT ev_mouse ev_close_button", "not a subtype of event type 6"},
      {"EVENT ev_other ev_gui", "not a subtype of event type 7"},
      {"EVENT ev_keyboard ev_left_button", "not a subtype of event type 5"},
      {"EVENT ev_keyboard vk_nosuchkey", "'vk_nosuchkey' is not a subtype"},
      {"EVENT ev_create vk_left", "not a subtype of event type 0"},
      {"EVENT ev_keyboard \"ab\"", "one letter or digit of a key event"},
      {"EVENT ev_step \"a\"", "one letter or digit of a key event"},
      {"EVENT ev_draw", "EVENT needs a type and a subtype"},
  };
  ExpectRefused("OBJECT \"o\"\n  ", cases, "\nEND\n");
}

}  // namespace
