// The data-file writer. Containers are decoded here with small readers of
// their own, so a layout fault in the writer cannot hide behind itself.
#include <gtest/gtest.h>

#include <cstring>

#include "unit/container_bytes.h"
#include "pack.h"

namespace {

using twpack::PackError;
using Bytes = std::vector<uint8_t>;

using testbytes::Rd32;

struct Chunk {
  std::string tag;
  size_t body;  // container offset of the body
  uint32_t size;
  uint32_t Word(const Bytes& b, size_t n) const { return Rd32(b, body + 4 * n); }
};

// Checks the FORM framing and returns the chunks in order.
std::vector<Chunk> Chunks(const Bytes& b) {
  EXPECT_GE(b.size(), 8u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "FORM");
  EXPECT_EQ(Rd32(b, 4), b.size() - 8);
  std::vector<Chunk> out;
  for (size_t at = 8; at < b.size();) {
    const uint32_t size = Rd32(b, at + 4);
    out.push_back({std::string(b.begin() + at, b.begin() + at + 4), at + 8, size});
    at += 8 + size;
    EXPECT_LE(at, b.size()) << "chunk " << out.back().tag << " runs past the end";
  }
  return out;
}

Chunk Find(const Bytes& b, const std::string& tag) {
  for (const Chunk& c : Chunks(b)) {
    if (c.tag == tag) return c;
  }
  throw std::runtime_error("no chunk " + tag);
}

// The text a string reference points at; checks its record.
std::string StrAt(const Bytes& b, uint32_t ref) {
  const uint32_t len = Rd32(b, ref - 4);
  if (ref + len >= b.size()) throw std::out_of_range("string runs past the container");
  EXPECT_EQ(b[ref + len], 0) << "string record without its 0 byte";
  return std::string(b.begin() + ref, b.begin() + ref + len);
}

// The pool's texts in order; checks that the records are packed right after
// the offset list and fill the STRG body exactly.
std::vector<std::string> Pool(const Bytes& b) {
  const Chunk strg = Find(b, "STRG");
  const uint32_t n = Rd32(b, strg.body);
  std::vector<std::string> out;
  size_t expect = strg.body + 4 + 4 * n;
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t record = Rd32(b, strg.body + 4 + 4 * i);
    EXPECT_EQ(record, expect) << "record " << i;
    out.push_back(StrAt(b, record + 4));
    expect = record + 4 + out.back().size() + 1;
  }
  EXPECT_EQ(expect, strg.body + strg.size);
  return out;
}

std::vector<std::string> Tags(const Bytes& b) {
  std::vector<std::string> tags;
  for (const Chunk& c : Chunks(b)) tags.push_back(c.tag);
  return tags;
}

// ---- Container and string pool ----------------------------------------------

TEST(PackWriter, EmptyWriterEmitsAnEmptyPool) {
  twpack::Writer w;
  const Bytes expect = {'F', 'O', 'R', 'M', 12, 0, 0, 0, 'S', 'T', 'R', 'G', 4, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(w.Build(), expect);
}

TEST(PackWriter, ChunksInOrderWithPoolLast) {
  twpack::Writer w;
  w.AddChunk("AAAA").U32(0x11223344);
  w.AddEmptyChunk("BBBB");
  w.AddRawChunk("CCCC", {1, 2, 3});
  const Bytes b = w.Build();
  EXPECT_EQ(Tags(b), (std::vector<std::string>{"AAAA", "BBBB", "CCCC", "STRG"}));
  const auto chunks = Chunks(b);
  EXPECT_EQ(chunks[0].size, 4u);
  EXPECT_EQ(chunks[0].Word(b, 0), 0x11223344u);
  EXPECT_EQ(chunks[1].size, 0u);
  EXPECT_EQ(Bytes(b.begin() + chunks[2].body, b.begin() + chunks[2].body + 3), (Bytes{1, 2, 3}));
}

TEST(PackWriter, StringsAreDeduplicatedAndReferenceTheirCharacters) {
  twpack::Writer w;
  w.AddChunk("REFS").StringRef("hello").StringRef("").StringRef("hello").StringRef("\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(w.AddString("hello"), 0u);
  EXPECT_EQ(w.AddString("new"), 3u);
  EXPECT_EQ(w.StringCount(), 4u);
  const Bytes b = w.Build();

  EXPECT_EQ(Pool(b), (std::vector<std::string>{"hello", "", "\xC3\xA9t\xC3\xA9", "new"}));
  const Chunk refs = Find(b, "REFS");
  EXPECT_EQ(refs.Word(b, 0), refs.Word(b, 2));
  EXPECT_EQ(StrAt(b, refs.Word(b, 0)), "hello");
  EXPECT_NE(refs.Word(b, 1), 0u) << "the empty string is a real string";
  EXPECT_EQ(StrAt(b, refs.Word(b, 1)), "");
  EXPECT_EQ(Rd32(b, refs.Word(b, 3) - 4), 5u) << "length counts UTF-8 bytes";
}

TEST(PackWriter, PlacedPoolShiftsTheChunksAfterIt) {
  twpack::Writer w;
  w.AddChunk("AAAA").StringRef("first");
  w.PlaceStringPool();
  auto& c = w.AddChunk("BBBB");
  const twpack::Label l = c.NewLabel();
  c.StringRef("second").OffsetOf(l).Bind(l).U32(7);
  const Bytes b = w.Build();
  EXPECT_EQ(Tags(b), (std::vector<std::string>{"AAAA", "STRG", "BBBB"}));
  const Chunk bb = Find(b, "BBBB");
  EXPECT_EQ(StrAt(b, Find(b, "AAAA").Word(b, 0)), "first");
  EXPECT_EQ(StrAt(b, bb.Word(b, 0)), "second");
  EXPECT_EQ(bb.Word(b, 1), bb.body + 8);
  EXPECT_EQ(Pool(b).size(), 2u);
}

TEST(PackWriter, PoolPlacedTwiceIsAnError) {
  twpack::Writer w;
  w.PlaceStringPool();
  EXPECT_THROW(w.PlaceStringPool(), PackError);
}

TEST(PackWriter, BadTagsAreRejected) {
  for (const char* tag : {"", "ABC", "ABCDE"}) {
    twpack::Writer w;
    EXPECT_THROW(w.AddChunk(tag), PackError) << tag;
    EXPECT_THROW(w.AddEmptyChunk(tag), PackError) << tag;
    EXPECT_THROW(w.AddRawChunk(tag, {1}), PackError) << tag;
  }
}

TEST(PackWriter, ScalarsAreLittleEndian) {
  twpack::Writer w;
  auto& c = w.AddChunk("DATA");
  const char text[] = "ab";
  c.U8(0x01).Align(2).U16(0x0302).Bytes(text, 2).Align(4).S32(-2).F32(1.5f).F64(-2.0).Zeros(3).Align(4).Align(4).U32(0);
  EXPECT_EQ(c.size(), 32u);
  c.PatchU32(28, 0xA1B2C3D4);
  const Bytes b = w.Build();
  const Chunk d = Find(b, "DATA");
  const Bytes expect = {0x01, 0, 0x02, 0x03, 'a', 'b', 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0, 0, 0xC0, 0x3F,
                        0,    0, 0,    0,    0,   0,   0, 0xC0, 0, 0, 0, 0, 0xD4, 0xC3, 0xB2, 0xA1};
  EXPECT_EQ(Bytes(b.begin() + d.body, b.begin() + d.body + d.size), expect);
}

TEST(PackWriter, PatchMustFitInsideTheBody) {
  twpack::Writer w;
  auto& c = w.AddChunk("DATA");
  c.U32(0).U16(0);
  EXPECT_NO_THROW(c.PatchU32(2, 1));
  EXPECT_THROW(c.PatchU32(3, 1), PackError);
  EXPECT_THROW(c.PatchU32(size_t(-2), 1), PackError);
}

// ---- Labels ----------------------------------------------------------------

TEST(PackWriter, LabelsResolveAcrossChunksInBothDirections) {
  twpack::Writer w;
  auto& list = w.AddChunk("LIST");
  const twpack::Label a = list.NewLabel(), b = w.NewLabel(), back = w.NewLabel();
  list.Bind(back).U32(3).OffsetOf(a).OffsetOf(twpack::Label{}).OffsetOf(b);
  auto& items = w.AddChunk("ITEM");
  items.U32(0xAAAA).Bind(a).U32(1).Bind(b).U32(2).OffsetOf(back);
  const Bytes bytes = w.Build();

  const Chunk l = Find(bytes, "LIST"), it = Find(bytes, "ITEM");
  EXPECT_EQ(l.Word(bytes, 0), 3u);
  EXPECT_EQ(l.Word(bytes, 1), it.body + 4);
  EXPECT_EQ(l.Word(bytes, 2), 0u) << "an invalid label is the empty slot";
  EXPECT_EQ(l.Word(bytes, 3), it.body + 8);
  EXPECT_EQ(Rd32(bytes, l.Word(bytes, 3)), 2u);
  EXPECT_EQ(it.Word(bytes, 3), l.body);
}

TEST(PackWriter, LabelMisuseIsAnError) {
  {
    twpack::Writer w;
    auto& c = w.AddChunk("AAAA");
    const twpack::Label l = c.NewLabel();
    c.Bind(l);
    EXPECT_THROW(w.AddChunk("BBBB").Bind(l), PackError);
  }
  {
    twpack::Writer w;
    auto& c = w.AddChunk("AAAA");
    c.OffsetOf(c.NewLabel());
    EXPECT_THROW(w.Build(), PackError);
  }
  {
    twpack::Writer w;
    EXPECT_THROW(w.AddChunk("AAAA").OffsetOf(twpack::Label{5}), PackError);
    EXPECT_THROW(w.AddChunk("BBBB").Bind(twpack::Label{}), PackError);
  }
}

TEST(PackWriter, BuildIsRepeatable) {
  twpack::Writer w;
  auto& c = w.AddChunk("AAAA");
  const twpack::Label l = c.NewLabel();
  c.OffsetOf(l).StringRef("x").Bind(l);
  const Bytes first = w.Build();
  EXPECT_EQ(w.Build(), first);
  // Still usable afterwards: later additions show up in the next build.
  w.AddChunk("BBBB").StringRef("y");
  const Bytes second = w.Build();
  EXPECT_EQ(Tags(second), (std::vector<std::string>{"AAAA", "BBBB", "STRG"}));
  EXPECT_EQ(Pool(second), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(Find(second, "AAAA").Word(second, 0), Find(second, "AAAA").body + 8);
}

// ---- GEN8 ------------------------------------------------------------------

twpack::Gen8 DistinctGen8(uint8_t version) {
  twpack::Gen8 g;
  g.debug = 0;
  g.version = version;
  g.name = "Name";
  g.config = "Cfg";
  g.last_instance_id = 103;  // each numeric field holds 100 + its word
  g.last_tile_id = 104;
  g.game_id = 105;
  for (int i = 0; i < 4; ++i) g.words6_9[i] = 106 + i;
  g.display_name = "Display";
  g.width = 115;
  g.height = 116;
  g.flags = 117;
  g.word25 = "Twenty-five";
  g.word26 = 126;
  g.word27 = 127;
  g.feature_lo = 128;
  g.feature_hi = 129;
  g.steam_app_id = 130;
  g.room_order = {4, -1, 2};
  return g;
}

TEST(PackGen8, LayoutForEachVersion) {
  struct Case {
    uint8_t version;
    size_t count_word;
  };
  const Case cases[] = {{1, 9},   {7, 9},   {8, 25},  {9, 25},  {10, 26},
                        {11, 28}, {12, 30}, {13, 31}, {14, 25}, {17, 25}};
  for (const Case& k : cases) {
    SCOPED_TRACE("version " + std::to_string(k.version));
    twpack::Writer w;
    twpack::AddGen8(w, DistinctGen8(k.version));
    const Bytes b = w.Build();
    const Chunk g = Find(b, "GEN8");
    const unsigned v = k.version;
    // Each version-dependent field at its word, or 0 where the slot exists
    // but belongs to nothing; -1 marks words this version does not have.
    std::vector<int64_t> expect(k.count_word, 0);
    expect[0] = v << 8;
    for (size_t i = 3; i < 9; ++i) expect[i] = 100 + i;
    if (v < 8) {
      expect.resize(9);
    } else {
      expect[9] = 109;
      expect[15] = 115, expect[16] = 116, expect[17] = 117;
      if (v >= 11 && v <= 13) expect[26] = 126, expect[27] = 127;
      if (v >= 12 && v <= 13) expect[28] = 128, expect[29] = 129;
      if (v == 13) expect[30] = 130;
    }
    for (size_t i = 0; i < expect.size(); ++i) {
      if (i == 1 || i == 2 || i == 10 || i == 25) continue;  // string refs, below
      EXPECT_EQ(g.Word(b, i), uint32_t(expect[i])) << "word " << i;
    }
    EXPECT_EQ(StrAt(b, g.Word(b, 1)), "Name");
    EXPECT_EQ(StrAt(b, g.Word(b, 2)), "Cfg");
    if (v >= 8) {
      EXPECT_EQ(StrAt(b, g.Word(b, 10)), "Display");
    }
    if (v >= 10 && v <= 13) {
      EXPECT_EQ(StrAt(b, g.Word(b, 25)), "Twenty-five");
    }

    EXPECT_EQ(g.Word(b, k.count_word), 3u);
    EXPECT_EQ(int32_t(g.Word(b, k.count_word + 1)), 4);
    EXPECT_EQ(int32_t(g.Word(b, k.count_word + 2)), -1);
    EXPECT_EQ(int32_t(g.Word(b, k.count_word + 3)), 2);
    EXPECT_EQ(g.size, 4 * (k.count_word + 4));

    // Fields a version does not have must not leak into the pool either.
    std::vector<std::string> pool = {"Name", "Cfg"};
    if (v >= 8) pool.push_back("Display");
    if (v >= 10 && v <= 13) pool.push_back("Twenty-five");
    EXPECT_EQ(Pool(b), pool);
  }
}

TEST(PackGen8, EmptyWord25IsNullAndCountCanBeOverridden) {
  twpack::Gen8 g = DistinctGen8(10);
  g.debug = 1;
  g.word25.clear();
  g.room_order = {9};
  g.room_count_override = 1000;
  twpack::Writer w;
  twpack::AddGen8(w, g, "GEN7");
  const Bytes b = w.Build();
  const Chunk c = Find(b, "GEN7");
  EXPECT_EQ(c.Word(b, 0), 0x0A01u);
  EXPECT_EQ(c.Word(b, 25), 0u);
  EXPECT_EQ(c.Word(b, 26), 1000u);
  EXPECT_EQ(c.Word(b, 27), 9u);
  EXPECT_EQ(c.size, 4u * 28);
}

// ---- OPTN ------------------------------------------------------------------

TEST(PackOptn, WordsAndConstants) {
  twpack::Optn o;
  for (uint32_t i = 0; i < 35; ++i) o.words[i] = 1000 + i;
  o.word26 = "w26";
  o.constants = {{"LIVES", "3"}, {"TITLE", "Hello"}};
  twpack::Writer w;
  twpack::AddOptn(w, o);
  const Bytes b = w.Build();
  const Chunk c = Find(b, "OPTN");
  for (uint32_t i = 0; i < 35; ++i) {
    if (i != 26) {
      EXPECT_EQ(c.Word(b, i), 1000 + i) << "word " << i;
    }
  }
  EXPECT_EQ(StrAt(b, c.Word(b, 26)), "w26");
  EXPECT_EQ(c.Word(b, 35), 2u);
  EXPECT_EQ(StrAt(b, c.Word(b, 36)), "LIVES");
  EXPECT_EQ(StrAt(b, c.Word(b, 37)), "3");
  EXPECT_EQ(StrAt(b, c.Word(b, 38)), "TITLE");
  EXPECT_EQ(StrAt(b, c.Word(b, 39)), "Hello");
  EXPECT_EQ(c.size, 4u * 40);
}

TEST(PackOptn, EmptyWord26IsNullAndCountCanBeOverridden) {
  twpack::Optn o;
  o.words[26] = 77;  // ignored: word 26 is always the reference
  o.constants = {{"A", "1"}};
  o.constant_count_override = 5;
  twpack::Writer w;
  twpack::AddOptn(w, o);
  const Bytes b = w.Build();
  const Chunk c = Find(b, "OPTN");
  EXPECT_EQ(c.Word(b, 0), 0u);
  EXPECT_EQ(c.Word(b, 8), 0xFFFFFFu);
  EXPECT_EQ(c.Word(b, 26), 0u);
  EXPECT_EQ(c.Word(b, 35), 5u);
  EXPECT_EQ(c.size, 4u * 38);
}

// ---- Description -----------------------------------------------------------

TEST(PackDescription, MatchesTheSameContainerBuiltThroughTheApi) {
  const std::string good =
      "# a fixture\r\n"
      "\n"
      "ORDER written\n"
      "GEN8 debug=0 version=12 name=\"My \\\"Game\\\"\" config=\"Cfg # not a comment\" display=\"Tab\\there\" "
      "width=0x280 height=360 flags=-1 game_id=42 last_instance=0x7 last_tile=8 steam=9 "
      "word25=\"w25\" word26=26 word27=0x1B feature_lo=0 feature_hi=0xFFFF rooms=3,-1,0x10 room_count=2\r\n"
      "  STRINGS \"extra\" \"\" \"line\\nbreak\\\\\"   # trailing comment\n"
      "STRG\n"
      "GEN7 version=7 rooms=\n"
      "GENL version=14 steam=5\n"
      "OPTN word0=1 word34=-2 word26=\"twenty six\" const.A.B=\"x y\" const.C=\"\" const_count=3\n"
      "EMPTY AUDO\n"
      "RAW BYTE 00ff7A\n"
      "RAW NONE";
  twpack::Writer w;
  twpack::Gen8 g;
  g.debug = 0;
  g.version = 12;
  g.name = "My \"Game\"";
  g.config = "Cfg # not a comment";
  g.display_name = "Tab\there";
  g.width = 640;
  g.height = 360;
  g.flags = 0xFFFFFFFF;
  g.game_id = 42;
  g.last_instance_id = 7;
  g.last_tile_id = 8;
  g.steam_app_id = 9;
  g.word25 = "w25";
  g.word26 = 26;
  g.word27 = 27;
  g.feature_lo = 0;
  g.feature_hi = 0xFFFF;
  g.room_order = {3, -1, 16};
  g.room_count_override = 2;
  twpack::AddGen8(w, g);
  w.AddString("extra");
  w.AddString("");
  w.AddString("line\nbreak\\");
  w.PlaceStringPool();
  twpack::Gen8 g7;
  g7.version = 7;
  twpack::AddGen8(w, g7, "GEN7");
  twpack::Gen8 gl;
  gl.version = 14;
  gl.steam_app_id = 5;
  twpack::AddGen8(w, gl, "GENL");
  twpack::Optn o;
  o.words[0] = 1;
  o.words[34] = 0xFFFFFFFE;
  o.word26 = "twenty six";
  o.constants = {{"A.B", "x y"}, {"C", ""}};
  o.constant_count_override = 3;
  twpack::AddOptn(w, o);
  w.AddEmptyChunk("AUDO");
  w.AddRawChunk("BYTE", {0x00, 0xFF, 0x7A});
  w.AddRawChunk("NONE", {});

  const Bytes b = twpack::BuildFromDescription(good);
  EXPECT_EQ(Tags(b), (std::vector<std::string>{"GEN8", "STRG", "GEN7", "GENL", "OPTN", "AUDO", "BYTE", "NONE"}));
  EXPECT_EQ(b, w.Build());
}

TEST(PackDescription, ErrorsNameTheLine) {
  struct Case {
    const char* text;
    const char* message;  // the start of what()
  };
  const Case cases[] = {
      {"GEN8 foo=1", "line 1: unknown key 'foo'"},
      {"# c\n\nBLAH 1", "line 3: unknown directive 'BLAH'"},
      {"OPTN word35=1", "line 1: unknown key 'word35'"},
      {"OPTN word07=1", "line 1: unknown key 'word07'"},
      {"GEN8 width=12x", "line 1: bad number '12x'"},
      {"GEN8 width=0x", "line 1: bad number"},
      {"GEN8 width=", "line 1: bad number"},
      {"GEN8 width=-", "line 1: bad number"},
      {"GEN8 width=+5", "line 1: bad number"},
      {"GEN8 width=4294967296", "line 1: bad number"},
      {"GEN8 width=-2147483649", "line 1: bad number"},
      {"GEN8 width=\"5\"", "line 1: bad number"},
      {"GEN8 rooms=1,,2", "line 1: bad number ''"},
      {"GEN8 rooms=1,", "line 1: bad number ''"},
      {"GEN8 version=256", "line 1: 'version' must be 0 to 255"},
      {"GEN8 name=abc", "line 1: 'name' needs a quoted text"},
      {"OPTN const.A=1", "line 1: 'const.A' needs a quoted text"},
      {"GEN8\nGEN8 name=\"abc", "line 2: missing closing quote"},
      {"GEN8 name=\"abc\\\"", "line 1: missing closing quote"},
      {"GEN8 name=\"a\\q\"", "line 1: bad escape"},
      {"GEN8 name=\"a\"b", "line 1: unexpected 'b'"},
      {"GEN8 width", "line 1: expected key=value"},
      {"STRINGS abc", "line 1: STRINGS takes quoted texts"},
      {"STRG\nSTRG", "line 2: string pool placed twice"},
      {"STRG x", "line 1: unexpected 'x'"},
      {"EMPTY", "line 1: expected a chunk tag"},
      {"EMPTY ABC", "line 1: chunk tag must be 4 bytes"},
      {"EMPTY ABCD EFGH", "line 1: unexpected 'EFGH'"},
      {"RAW ABCDE 00", "line 1: chunk tag must be 4 bytes"},
      {"RAW ABCD 0g", "line 1: bad hex digit 'g'"},
      {"RAW ABCD 123", "line 1: odd number of hex digits"},
      {"RAW ABCD \"00\"", "line 1: expected hex bytes"},
      {"\"GEN8\"", "line 1: expected a directive"},
  };
  for (const Case& k : cases) {
    try {
      twpack::BuildFromDescription(k.text);
      ADD_FAILURE() << "no error for: " << k.text;
    } catch (const PackError& e) {
      EXPECT_EQ(std::string(e.what()).substr(0, std::strlen(k.message)), k.message) << "for: " << k.text;
    }
  }
}

TEST(PackDescription, BlankAndCommentOnlyTextGivesTheBareContainer) {
  twpack::Writer w;
  EXPECT_EQ(twpack::BuildFromDescription(""), w.Build());
  EXPECT_EQ(twpack::BuildFromDescription("  # nothing\n\t\n#\n"), w.Build());
}

}  // namespace
