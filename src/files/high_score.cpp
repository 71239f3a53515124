#include "files/high_score.h"

#include <cstring>

#include "files/files.h"
#include "platform/files.h"
#include "script/console.h"

namespace {

constexpr char kFileName[] = "hiscore.dat";
constexpr uint8_t kMagic[4] = {'H', 'I', 'S', 'C'};

HighScoreTable g_table;
HighScoreDisplay g_display;
bool g_modified = false;

// The file's full path, which maps into the save area without a log line.
std::string FilePath() { return LoadSave_GetSaveArea() + kFileName; }

// At most kHighScoreNameMax bytes, never ending inside a UTF-8 sequence.
std::string CutName(std::string_view name) {
  if (name.size() <= kHighScoreNameMax) return std::string(name);
  size_t end = kHighScoreNameMax;
  while (end > 0 && (static_cast<uint8_t>(name[end]) & 0xC0) == 0x80) --end;
  return std::string(name.substr(0, end));
}

void PutU32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(uint8_t(v >> (8 * i)));
}

// Reads fields in order and fails for good at the first one that does not fit.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  bool U32(uint32_t* v) {
    if (bytes_.size() - pos_ < 4) return false;
    *v = 0;
    for (int i = 0; i < 4; ++i) *v |= uint32_t(bytes_[pos_ + size_t(i)]) << (8 * i);
    pos_ += 4;
    return true;
  }
  bool Bytes(size_t n, std::string* out) {
    if (bytes_.size() - pos_ < n) return false;
    out->assign(reinterpret_cast<const char*>(bytes_.data() + pos_), n);
    pos_ += n;
    return true;
  }
  size_t Position() const { return pos_; }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

}  // namespace

void HighScore_Init() {
  g_display = HighScoreDisplay();
  for (HighScoreEntry& e : g_table) e = {g_display.nobody, 0};
  g_modified = false;
}

std::vector<uint8_t> HighScore_Encode(const HighScoreTable& table) {
  std::vector<uint8_t> out(kMagic, kMagic + 4);
  PutU32(&out, 0);
  for (const HighScoreEntry& e : table) {
    const std::string name = CutName(e.name);
    PutU32(&out, uint32_t(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    PutU32(&out, uint32_t(e.score));
  }
  const uint32_t length = uint32_t(out.size());
  for (int i = 0; i < 4; ++i) out[4 + size_t(i)] = uint8_t(length >> (8 * i));
  return out;
}

std::optional<HighScoreTable> HighScore_Decode(std::span<const uint8_t> bytes) {
  if (bytes.size() < 8 || std::memcmp(bytes.data(), kMagic, 4) != 0) return std::nullopt;
  Reader header(bytes);
  uint32_t magic = 0, length = 0;
  header.U32(&magic);
  header.U32(&length);
  // Bytes past the stored length are not the table's.
  if (length > bytes.size()) return std::nullopt;
  Reader r(bytes.first(length));
  r.U32(&magic);
  r.U32(&length);
  HighScoreTable table;
  for (HighScoreEntry& e : table) {
    uint32_t n = 0, score = 0;
    if (!r.U32(&n) || n > kHighScoreNameMax || !r.Bytes(n, &e.name) || !r.U32(&score)) return std::nullopt;
    if (e.name.find('\0') != std::string::npos) return std::nullopt;
    e.score = int32_t(score);
  }
  if (r.Position() != length) return std::nullopt;
  return table;
}

void HighScore_Load() {
  const std::string path = LoadSave_MapToSaveArea(FilePath());
  if (path.empty() || !File_CanRead(path)) return;
  auto bytes = File_ReadAll(path);
  if (!bytes) return;
  auto table = HighScore_Decode(*bytes);
  if (!table) {
    Console_Error("%s is damaged: the high-score table starts empty\n", kFileName);
    return;
  }
  g_table = std::move(*table);
  g_modified = false;
}

void HighScore_Save() {
  if (!g_modified) return;
  const std::vector<uint8_t> bytes = HighScore_Encode(g_table);
  std::string why;
  if (!LoadSave_WriteFile(FilePath(), bytes.data(), bytes.size(), &why)) {
    Console_Error("Cannot save the high-score table to %s: %s\n", kFileName, why.c_str());
    return;
  }
  g_modified = false;
}

bool HighScore_Set(int place, std::string_view name, int32_t score) {
  if (place < 1 || place > kHighScorePlaces) return false;
  g_table[size_t(place - 1)] = {CutName(name), score};
  return true;
}

const HighScoreEntry* HighScore_At(int place) {
  if (place < 1 || place > kHighScorePlaces) return nullptr;
  return &g_table[size_t(place - 1)];
}

void HighScore_Clear() {
  for (int p = 1; p <= kHighScorePlaces; ++p) HighScore_Set(p, g_display.nobody, 0);
}

void HighScore_Add(std::string_view name, int32_t score) {
  size_t place = 0;
  while (place < g_table.size() && g_table[place].score >= score) ++place;
  if (place == g_table.size()) return;
  for (size_t i = g_table.size() - 1; i > place; --i) g_table[i] = std::move(g_table[i - 1]);
  g_table[place] = {CutName(name), score};
  g_modified = true;
}

const HighScoreTable& HighScore_Table() { return g_table; }
bool HighScore_Modified() { return g_modified; }
HighScoreDisplay& HighScore_Display() { return g_display; }
