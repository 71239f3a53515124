// Feeds arbitrary bytes to the readers of the files subsystem: as INI text,
// which read, saved and read again must give the same sections, keys and
// values and the same text (with the input itself stored as one more value,
// so the quoting meets every byte); and as a high-score file, which either is
// refused or writes back to the very bytes it was read from.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "files/high_score.h"
#include "files/ini_file.h"

namespace {

bool SameContents(const IniFile& a, const IniFile& b) {
  const auto& x = a.Sections();
  const auto& y = b.Sections();
  if (x.size() != y.size()) return false;
  for (size_t i = 0; i < x.size(); ++i) {
    if (x[i].name != y[i].name || x[i].keys.size() != y[i].keys.size()) return false;
    for (size_t k = 0; k < x[i].keys.size(); ++k)
      if (x[i].keys[k].name != y[i].keys[k].name || x[i].keys[k].value != y[i].keys[k].value) return false;
  }
  return true;
}

void Ini(std::string_view text) {
  IniFile ini = IniFile::FromText(text);
  if (!ini.WriteString("fuzz", "value", text)) std::abort();
  const std::string saved = ini.Text();
  IniFile again = IniFile::FromText(saved);
  if (!SameContents(ini, again) || again.Text() != saved) std::abort();
}

void HighScores(std::span<const uint8_t> bytes) {
  auto table = HighScore_Decode(bytes);
  if (!table) return;
  const uint32_t length = uint32_t(bytes[4]) | uint32_t(bytes[5]) << 8 | uint32_t(bytes[6]) << 16 |
                          uint32_t(bytes[7]) << 24;
  const auto written = HighScore_Encode(*table);
  if (written.size() != length || !std::equal(written.begin(), written.end(), bytes.begin())) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  Ini(std::string_view(reinterpret_cast<const char*>(data), size));
  HighScores(std::span<const uint8_t>(data, size));
  return 0;
}
