// The assembler and the CODE, VARI and FUNC chunks of the data-file writer,
// read back with small decoders of this file's own.
#include "code.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "unit/container_bytes.h"
#include "pack.h"

namespace {

using twpack::PackError;
using Bytes = std::vector<uint8_t>;

using testbytes::Rd32;

// Body offset and length of the chunk with this tag.
std::pair<size_t, uint32_t> ChunkOf(const Bytes& b, const char* tag) {
  for (size_t at = 8; at + 8 <= b.size(); at += 8 + Rd32(b, at + 4))
    if (std::memcmp(&b[at], tag, 4) == 0) return {at + 8, Rd32(b, at + 4)};
  throw std::runtime_error(std::string("no chunk ") + tag);
}

using testbytes::Str;

// String-pool index of a text.
uint32_t PoolIndex(const Bytes& b, const std::string& s) {
  const size_t strg = ChunkOf(b, "STRG").first;
  for (uint32_t i = 0; i < Rd32(b, strg); ++i)
    if (Str(b, Rd32(b, strg + 4 + 4 * i) + 4) == s) return i;
  throw std::runtime_error("no string " + s);
}

struct Record {
  std::string name;
  size_t stream;  // container offset of the first instruction
  std::vector<uint32_t> words;
};

std::vector<Record> Records(const Bytes& b) {
  const size_t code = ChunkOf(b, "CODE").first;
  std::vector<Record> out;
  for (uint32_t i = 0; i < Rd32(b, code); ++i) {
    const uint32_t rec = Rd32(b, code + 4 + 4 * i);
    if (!rec) {
      out.push_back({"(empty)", 0, {}});
      continue;
    }
    Record r{Str(b, Rd32(b, rec)), rec + 8, {}};
    const uint32_t len = Rd32(b, rec + 4);
    for (uint32_t at = 0; at < len; at += 4) r.words.push_back(Rd32(b, rec + 8 + at));
    out.push_back(std::move(r));
  }
  return out;
}

std::vector<uint32_t> Assembled(const std::string& lines) {
  const Bytes b = twpack::BuildFromDescription("CODE \"r\"\n" + lines + "\nEND\n");
  return Records(b).at(0).words;
}

TEST(PackCode, InstructionLinesGiveTheirWords) {
  struct Case {
    const char* line;
    std::vector<uint32_t> words;
  };
  const Case cases[] = {
      {"push.e 5", {0xC00F0005}},
      {"push.e 0xFFFF", {0xC00FFFFF}},
      {"push.e -1", {0xC00FFFFF}},
      {"push.i -3", {0xC0020000, 0xFFFFFFFD}},
      {"push.b 1", {0xC0040000, 1}},
      {"push.f 2.5", {0xC0010000, 0x40200000}},
      {"push.d 1.5", {0xC0000000, 0, 0x3FF80000}},
      {"push.l 0x100000002", {0xC0030000, 2, 1}},
      {"push.l -2", {0xC0030000, 0xFFFFFFFE, 0xFFFFFFFF}},
      // Variable operands: bit 31 no index, bit 30 instance id, bit 29
      // instance from the immediate; the id bits hold the chain distance.
      {"push.v self.x", {0xC005FFFF, 0xA0000000}},
      {"push.v global.x[]", {0xC005FFFB, 0x20000000}},
      {"push.v stack.x", {0xC0050000, 0x80000000}},
      {"push.v stack.x[]", {0xC0050000, 0x00000000}},
      {"push.v 100005.x", {0xC0050005, 0xE0000000}},
      {"push.v 3.x", {0xC0050003, 0xA0000000}},
      {"push.v -6.x", {0xC005FFFA, 0xA0000000}},
      {"push.v local.x", {0xC005FFF9, 0xA0000000}},
      {"pop.v.v other.x", {0x4155FFFE, 0xA0000000}},
      {"pop.i.d all.x", {0x4102FFFD, 0xA0000000}},
      {"call.i f 3", {0xDA020003, 0}},
      {"conv.i.b", {0x03420000}},
      {"add.d.v", {0x08500000}},
      {"sgt.s.s", {0x16660000}},
      {"neg.i", {0x0D020000}},
      {"dup.i 1", {0x82020001}},
      {"popz.v", {0x9F050000}},
      {"ret.v", {0x9D050000}},
      {"exit.i", {0x9E020000}},
      {"break 0", {0xFFFF0000}},
      {"break -1", {0xFFFFFFFF}},
      {"popenv exit", {0xBCF00000}},
      {"word 0x12345678 7", {0x12345678, 7}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(Assembled(c.line), c.words);
  }
  const Bytes b = twpack::BuildFromDescription("CODE \"r\"\n push.s \"a b\"\n push.s \"\"\nEND\n");
  EXPECT_EQ(Records(b).at(0).words,
            (std::vector<uint32_t>{0xC0060000, PoolIndex(b, "a b"), 0xC0060000, PoolIndex(b, "")}));
}

TEST(PackCode, BranchesCountWordsFromThemselves) {
  EXPECT_EQ(Assembled("top:\n push.e 1\n bt top\n b end\n push.d 2\n pushenv top\nend:\n popenv end\n b self\nself:"),
            (std::vector<uint32_t>{0xC00F0001, 0xB8FFFFFF, 0xB7000005, 0xC0000000, 0, 0x40000000, 0xBBFFFFFA,
                                   0xBC000000, 0xB7000001}));
}

// Follows one reference record's chain through the code and returns the
// occurrences' offsets; checks that each is on an instruction of the form.
std::vector<size_t> Follow(const Bytes& b, size_t ref, bool vari) {
  const uint32_t count = Rd32(b, ref + 4);
  std::vector<size_t> out;
  int64_t at = Rd32(b, ref + 8);
  for (uint32_t i = 0; i < count; ++i) {
    out.push_back(size_t(at));
    const uint32_t word = Rd32(b, size_t(at)), operand = Rd32(b, size_t(at) + 4);
    const uint32_t op = word >> 24, t1 = word >> 16 & 0xF;
    if (vari) {
      EXPECT_TRUE((op == 192 || op == 65) && t1 == 5) << std::hex << word;
      const int32_t distance = int32_t(operand << 3) >> 3;
      if (i + 1 == count) {
        EXPECT_EQ(distance, 0);
      }
      at += distance;
    } else {
      EXPECT_TRUE(op == 218 && t1 == 2) << std::hex << word;
      if (i + 1 == count) {
        EXPECT_EQ(operand, 0u);
      }
      at += int32_t(operand);
    }
  }
  return out;
}

TEST(PackCode, ChainsThreadEveryOccurrenceInLayoutOrder) {
  const Bytes b = twpack::BuildFromDescription(R"(
GEN8
VARI
CODE "one"
  push.v self.x
  push.v self.y
  pop.v.v global.x[]
  call.i f 0
END
FUNC
CODE "two"
  push.v stack.x
  call.i f 1
  call.i g 0
  push.v 100001.y
END
)");
  const std::vector<Record> r = Records(b);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].name, "one");
  EXPECT_EQ(r[1].name, "two");
  auto at = [&](int rec, size_t word) { return r[size_t(rec)].stream + 4 * word; };

  const auto [vari, vari_len] = ChunkOf(b, "VARI");
  const auto [func, func_len] = ChunkOf(b, "FUNC");
  ASSERT_EQ(vari_len, 24u);
  ASSERT_EQ(func_len, 24u);
  EXPECT_EQ(Str(b, Rd32(b, vari)), "x");
  EXPECT_EQ(Str(b, Rd32(b, vari + 12)), "y");
  EXPECT_EQ(Str(b, Rd32(b, func)), "f");
  EXPECT_EQ(Str(b, Rd32(b, func + 12)), "g");
  EXPECT_EQ(Follow(b, vari, true), (std::vector<size_t>{at(0, 0), at(0, 4), at(1, 0)}));
  EXPECT_EQ(Follow(b, vari + 12, true), (std::vector<size_t>{at(0, 2), at(1, 6)}));
  EXPECT_EQ(Follow(b, func, false), (std::vector<size_t>{at(0, 6), at(1, 2)}));
  EXPECT_EQ(Follow(b, func + 12, false), (std::vector<size_t>{at(1, 4)}));
  // The chains leave each operand's own flag bits alone.
  const uint32_t flags[] = {r[0].words[1], r[0].words[3], r[0].words[5], r[1].words[1], r[1].words[7]};
  const uint32_t expect[] = {0xA0000000, 0xA0000000, 0x20000000, 0x80000000, 0xE0000000};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(flags[i] & 0xE0000000, expect[i]) << i;
}

TEST(PackCode, ApiRecordsEmptySlotsAndRawWords) {
  twpack::Writer w;
  twpack::CodeSet code(w);
  code.AddEmptySlot();
  code.AddRecord("r").Raw(0xC0000000, {1}).PushV({"v", twpack::kGlobal});
  code.PlaceCode();
  code.PlaceVari();
  code.Finish();
  EXPECT_THROW(code.Finish(), PackError);
  EXPECT_THROW(code.AddRecord("late"), PackError);
  const Bytes b = w.Build();
  const std::vector<Record> r = Records(b);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].stream, 0u);
  EXPECT_EQ(r[1].words, (std::vector<uint32_t>{0xC0000000, 1, 0xC005FFFB, 0xA0000000}));
  EXPECT_EQ(Rd32(b, ChunkOf(b, "VARI").first + 8), r[1].stream + 8);
}

TEST(PackCode, ChainsWithoutTheirCodeAreRefused) {
  twpack::Writer w;
  twpack::CodeSet code(w);
  code.AddRecord("r").Call("f", 0);
  code.PlaceFunc();
  EXPECT_THROW(code.Finish(), PackError);
  twpack::CodeSet twice(w);
  twice.PlaceVari();
  EXPECT_THROW(twice.PlaceVari(), PackError);
}

TEST(PackCode, DescriptionErrorsNameTheLine) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"CODE \"r\"\n push.q 1\nEND", "line 2: bad type '.q'"},
      {"CODE \"r\"\n frob.i\nEND", "line 2: unknown instruction 'frob.i'"},
      {"CODE \"r\"\n push.s hi\nEND", "line 2: 'push.s' needs a quoted text"},
      {"CODE \"r\"\n push.v 200000.x\nEND", "line 2: bad instance '200000'"},
      {"CODE \"r\"\n push.v self.\nEND", "line 2: bad variable name"},
      {"CODE \"r\"\n push.v x\nEND", "line 2: expected INSTANCE.NAME"},
      {"CODE \"r\"\n pop.s.v self.x\nEND", "line 2: 'pop.s.v': pop stores into a variable"},
      {"CODE \"r\"\n call.d f 1\nEND", "line 2: 'call.d': a call is call.i"},
      {"CODE \"r\"\n call.i f\nEND", "line 2: 'call.i' needs 2 argument(s)"},
      {"CODE \"r\"\n push.e 70000\nEND", "line 2: bad immediate '70000'"},
      {"CODE \"r\"\n push.b 2\nEND", "line 2: bad bool '2'"},
      {"CODE \"r\"\n push.d x1\nEND", "line 2: bad real number 'x1'"},
      {"CODE \"r\"\n add.i\nEND", "line 2: 'add' takes 2 type(s)"},
      {"CODE \"r\"\n neg.i 4\nEND", "line 2: unexpected '4'"},
      {"CODE \"r\"\n top:\n top:\nEND", "line 3: label 'top' placed twice"},
      {"CODE \"r\"\n b nowhere\nEND", "branch to unknown label 'nowhere' in r"},
      {"\n\nCODE \"r\"\n push.e 1\n", "line 3: CODE block without END"},
      {"CODE r\nEND", "line 1: CODE takes a quoted record name"},
      {"VARI\nVARI", "line 2: VARI chunk placed twice"},
      {"FUNC x", "line 1: unexpected 'x'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      twpack::BuildFromDescription(c.text);
      ADD_FAILURE() << "accepted";
    } catch (const PackError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

}  // namespace
