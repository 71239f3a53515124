#include "files/high_score.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/files.h"
#include "platform/files.h"
#include "unit/files/temp_save_area.h"

namespace {

namespace fs = std::filesystem;

std::string Table() {
  std::string out;
  for (const HighScoreEntry& e : HighScore_Table()) out += e.name + ":" + std::to_string(e.score) + " ";
  return out;
}

// A little-endian file built field by field.
struct FileBytes {
  std::vector<uint8_t> b;
  FileBytes& Raw(std::string_view s) {
    b.insert(b.end(), s.begin(), s.end());
    return *this;
  }
  FileBytes& U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
    return *this;
  }
  FileBytes& Entry(std::string_view name, int32_t score) { return U32(uint32_t(name.size())).Raw(name).U32(uint32_t(score)); }
  // "HISC", the length, ten entries named n0..n9 with scores 90..0.
  static FileBytes Good() {
    FileBytes f;
    f.Raw("HISC").U32(0);
    for (int i = 0; i < 10; ++i) f.Entry("n" + std::to_string(i), 90 - 10 * i);
    f.Length();
    return f;
  }
  void Length() { Patch(4, uint32_t(b.size())); }
  void Patch(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
  }
};

class HighScores : public ::testing::Test {
 protected:
  void SetUp() override { HighScore_Init(); }
  void TearDown() override { HighScore_Init(); }
  void WriteFile(const std::vector<uint8_t>& bytes) {
    ASSERT_TRUE(File_MakeDirectories(area_));
    std::ofstream(area_ + "/hiscore.dat", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                                  std::streamsize(bytes.size()));
  }
  TempSaveArea temp_{"not/yet/made"};
  const std::string& area_ = temp_.area;
};

TEST_F(HighScores, AddKeepsTheOrderAndEqualScoresStayAbove) {
  std::string empty;
  for (int i = 0; i < 10; ++i) empty += "<nobody>:0 ";
  EXPECT_EQ(Table(), empty);
  HighScore_Add("zero", 0);  // beats nobody
  EXPECT_FALSE(HighScore_Modified());
  HighScore_Add("a", 5);
  HighScore_Add("b", 9);
  HighScore_Add("c", 5);  // below the earlier 5
  HighScore_Add("", -1);
  EXPECT_TRUE(HighScore_Modified());
  EXPECT_EQ(HighScore_At(1)->name, "b");
  EXPECT_EQ(HighScore_At(2)->name, "a");
  EXPECT_EQ(HighScore_At(3)->name, "c");
  EXPECT_EQ(HighScore_At(4)->name, "<nobody>");
  EXPECT_EQ(HighScore_At(0), nullptr);
  EXPECT_EQ(HighScore_At(11), nullptr);
  EXPECT_FALSE(HighScore_Set(0, "x", 1));
  EXPECT_FALSE(HighScore_Set(11, "x", 1));

  for (int p = 1; p <= 10; ++p) HighScore_Set(p, "h", 100);
  HighScore_Add("same", 100);
  EXPECT_EQ(HighScore_At(10)->name, "h");
  HighScore_Add("top", 101);
  EXPECT_EQ(HighScore_At(1)->name, "top");
  EXPECT_EQ(HighScore_At(10)->name, "h");
  EXPECT_EQ(HighScore_At(10)->score, 100);

  // Clearing uses the empty-place name and does not mark the table.
  HighScore_Init();
  HighScore_Display().nobody = "--";
  HighScore_Clear();
  EXPECT_EQ(HighScore_At(7)->name, "--");
  EXPECT_FALSE(HighScore_Modified());
}

TEST_F(HighScores, LongNamesAreCutWithoutSplittingACharacter) {
  HighScore_Add(std::string(300, 'x'), 1);
  EXPECT_EQ(HighScore_At(1)->name, std::string(256, 'x'));
  // 255 bytes, then a two-byte character that would end past 256.
  HighScore_Add(std::string(255, 'y') + "\xC3\xA9" + "z", 2);
  EXPECT_EQ(HighScore_At(1)->name, std::string(255, 'y'));
  HighScore_Set(3, std::string(400, 's'), 3);
  EXPECT_EQ(HighScore_At(3)->name.size(), 256u);
  // What is kept is what the file can hold.
  auto back = HighScore_Decode(HighScore_Encode(HighScore_Table()));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, HighScore_Table());
}

TEST_F(HighScores, FileLayout) {
  HighScoreTable t;
  t[0] = {"Al", 10};
  t[1] = {"", -2};
  const std::vector<uint8_t> bytes = HighScore_Encode(t);
  FileBytes want;
  want.Raw("HISC").U32(0).Entry("Al", 10).Entry("", -2);
  for (int i = 2; i < 10; ++i) want.Entry("", 0);
  want.Length();
  EXPECT_EQ(bytes, want.b);
  EXPECT_EQ(bytes.size(), 8u + 10 * 8 + 2);
  auto back = HighScore_Decode(bytes);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ((*back)[0], (HighScoreEntry{"Al", 10}));
  EXPECT_EQ((*back)[1], (HighScoreEntry{"", -2}));
}

TEST_F(HighScores, EveryFieldIsChecked) {
  const FileBytes good = FileBytes::Good();
  ASSERT_TRUE(HighScore_Decode(good.b).has_value());
  // Bytes past the stored length are not the table's.
  FileBytes longer = good;
  longer.Raw("extra");
  EXPECT_TRUE(HighScore_Decode(longer.b).has_value());

  struct Damage {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<Damage> cases;
  cases.push_back({"empty", {}});
  cases.push_back({"header only", {'H', 'I', 'S', 'C', 8, 0, 0, 0}});
  FileBytes f = good;
  f.b[0] = 'h';
  cases.push_back({"magic", f.b});
  f = good;
  f.Patch(4, uint32_t(good.b.size() + 1));
  cases.push_back({"length beyond the file", f.b});
  f = good;
  f.Patch(4, uint32_t(good.b.size() - 1));
  cases.push_back({"length cuts the last score", f.b});
  f = good;
  f.Raw("pad");
  f.Length();
  cases.push_back({"bytes within the length after the table", f.b});
  f = good;
  f.b.resize(f.b.size() - 3);
  cases.push_back({"short file", f.b});
  f = good;
  f.Patch(8, 257);
  cases.push_back({"name longer than 256", f.b});
  f = good;
  f.Patch(8, 0xFFFFFFFF);
  cases.push_back({"huge name length", f.b});
  f = good;
  f.b[12] = 0;
  cases.push_back({"NUL in a name", f.b});
  f = FileBytes();
  f.Raw("HISC").U32(0).Entry(std::string(257, 'x'), 1);
  f.Length();
  cases.push_back({"written whole, too long to read", f.b});

  for (const Damage& d : cases) EXPECT_FALSE(HighScore_Decode(d.bytes).has_value()) << d.what;
}

TEST_F(HighScores, SurvivesASaveAndALoad) {
  HighScore_Add("Ann", 300);
  HighScore_Add("", 200);  // no name
  HighScore_Add("Ten", 10);
  HighScore_Save();  // makes the save area
  EXPECT_FALSE(HighScore_Modified());
  ASSERT_TRUE(fs::exists(area_ + "/hiscore.dat"));
  const std::string saved = Table();

  HighScore_Init();
  HighScore_Load();
  EXPECT_EQ(Table(), saved);
  EXPECT_EQ(HighScore_At(2)->name, "");
  EXPECT_EQ(HighScore_At(2)->score, 200);
  EXPECT_EQ(HighScore_At(3)->score, 10);
  EXPECT_EQ(HighScore_At(4)->name, "<nobody>");
  EXPECT_FALSE(HighScore_Modified());

  // Nothing added: nothing written, even after a clear.
  fs::remove(area_ + "/hiscore.dat");
  HighScore_Clear();
  HighScore_Save();
  EXPECT_FALSE(fs::exists(area_ + "/hiscore.dat"));
}

TEST_F(HighScores, ADamagedFileGivesTheEmptyTable) {
  FileBytes f = FileBytes::Good();
  f.Patch(8 + 3 * 10, 300);  // the fourth name's length: the first three are fine
  WriteFile(f.b);
  HighScore_Load();
  EXPECT_EQ(HighScore_At(1)->name, "<nobody>");
  EXPECT_EQ(HighScore_At(1)->score, 0);

  WriteFile(FileBytes::Good().b);
  HighScore_Load();
  EXPECT_EQ(HighScore_At(1)->name, "n0");
  EXPECT_EQ(HighScore_At(10)->score, 0);
}

TEST_F(HighScores, AFailedSaveKeepsTheTableMarked) {
  ASSERT_TRUE(File_MakeDirectories(area_ + "/hiscore.dat"));  // a directory in the way
  HighScore_Add("a", 1);
  HighScore_Save();
  EXPECT_TRUE(HighScore_Modified());
  fs::remove(area_ + "/hiscore.dat");
  HighScore_Save();
  EXPECT_FALSE(HighScore_Modified());
  EXPECT_TRUE(fs::is_regular_file(area_ + "/hiscore.dat"));
}

}  // namespace
