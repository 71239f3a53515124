// The table of the ten best scores with the players' names, kept between
// runs in "hiscore.dat" in the save area, and the display settings the
// high-score built-ins store (no table window is shown on this platform).
//
// "hiscore.dat", little-endian: "HISC", u32 length of the whole file, then
// places 1 to 10, each a u32 name length n (at most 256), n bytes of name
// and an s32 score.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

constexpr int kHighScorePlaces = 10;
// Longer names are cut to this many bytes, since a longer one could not be
// read back.
constexpr size_t kHighScoreNameMax = 256;

struct HighScoreEntry {
  std::string name;  // empty: no name
  int32_t score = 0;
  bool operator==(const HighScoreEntry&) const = default;
};
using HighScoreTable = std::array<HighScoreEntry, kHighScorePlaces>;

struct HighScoreDisplay {
  std::string caption = "Top Ten Players";
  std::string nobody = "<nobody>";  // the name of an empty place
  std::string closingHint = "press <Escape> to close";
  int32_t background = 0xF0FBFF;
  int32_t newColour = 0xFF;
  int32_t otherColour = 0;
  std::string font = "Times New Roman";
  int32_t fontSize = 12;
  bool border = true;
  int32_t backgroundImage = -1;
};

// Start-up: every place "<nobody>" with 0, the display settings as at start,
// nothing to save.
void HighScore_Init();
// Reads "hiscore.dat"; a missing file, or one with any field out of place,
// leaves the table as it is.
void HighScore_Load();
// Writes "hiscore.dat" (making the save area) when a score was added since
// the table was last read or written; a failed write is logged and the table
// stays marked for the next save.
void HighScore_Save();

// Places count from 1; a place outside 1 to 10 gives false or null.
bool HighScore_Set(int place, std::string_view name, int32_t score);
const HighScoreEntry* HighScore_At(int place);
// Every place the empty-place name with 0; the table is not marked changed.
void HighScore_Clear();
// Enters the score below the scores it does not beat; the last place drops out.
void HighScore_Add(std::string_view name, int32_t score);
const HighScoreTable& HighScore_Table();
bool HighScore_Modified();
HighScoreDisplay& HighScore_Display();

// The file's bytes for a table, and the table a file holds: nothing unless
// every field is in place (the names within the stored length and at most 256
// bytes, no NUL in a name, the last score ending at the stored length).
std::vector<uint8_t> HighScore_Encode(const HighScoreTable& table);
std::optional<HighScoreTable> HighScore_Decode(std::span<const uint8_t> bytes);
