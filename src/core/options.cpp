#include "core/options.h"

#include <cstdlib>

#include "core/game_info.h"
#include "script/variables.h"

namespace {
GameOptions g_options;

constexpr uint32_t kDefaults[35] = {0, 0, 0, 0, 1, 100, 0, 0, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 1, 1, 1,
                                    1, 1, 1, 0, 0, 1, 0, 0, 0, 0, 255, 1, 0, 0, 0, 0, 0};
// Words that hold numbers rather than flags; words 24, 25, 26 and 30 are not read.
bool IsNumber(int w) { return w == 5 || w == 8 || (w >= 10 && w <= 12) || w == 14 || w == 21; }
bool IsUnread(int w) { return w == 24 || w == 25 || w == 26 || w == 30; }

void Name(GameOptions& o) {
  const uint32_t* w = o.words;
  o.fullscreen = w[0];
  o.new_audio = w[2];
  o.show_cursor = w[4];
  o.window_colour = w[8];
  o.change_resolution = w[9];
  o.colour_depth = w[10];
  o.resolution = w[11];
  o.frequency = w[12];
  o.alt_enter = w[15];
  o.freeze_inactive = w[22];
  o.abort_on_error = w[32];
  o.unset_variable_error = w[33];
  Variables_SetUnsetIsError(o.unset_variable_error);
}
}  // namespace

const GameOptions& Options_Get() { return g_options; }
GameOptions& Options_Mutable() { return g_options; }

void Options_ClearFullScreen() {
  g_options.words[0] = 0;
  g_options.fullscreen = false;
}

void Options_Reset() {
  bool newAudio = g_options.new_audio;
  uint32_t audioWord = g_options.words[2];
  g_options = GameOptions();
  std::copy(std::begin(kDefaults), std::end(kDefaults), g_options.words);
  g_options.words[2] = audioWord;
  Name(g_options);
  g_options.new_audio = newAudio;
}

bool Options_Load(const ChunkBody& body) {
  const GameDataFile& f = body.File();
  uint32_t count = body.Word(35);
  if (uint64_t(count) * 2 + 36 > body.WordCount()) {
    throw DataError("OPTN lists " + std::to_string(count) + " constants, more than the chunk holds");
  }
  for (int w = 0; w < 35; ++w) {
    if (IsUnread(w)) continue;
    if (w == 34 && GameInfo_Get().version <= 4) continue;
    uint32_t v = body.Word(uint32_t(w));
    g_options.words[w] = IsNumber(w) ? v : (v != 0);
  }
  g_options.word26 = std::string(f.String(body.Word(26)));
  Name(g_options);

  g_options.constant_names.assign(count, std::string());
  g_options.constant_values.assign(count, std::string());
  for (uint32_t i = 0; i < count; ++i) {
    std::string name(f.String(body.Word(36 + 2 * i)));
    std::string value(f.String(body.Word(37 + 2 * i)));
    if (name == "VersionMajor") g_options.version_major = std::atoi(value.c_str());
    if (name == "VersionMinor") g_options.version_minor = std::atoi(value.c_str());
    g_options.constant_names[i] = std::move(name);
    g_options.constant_values[i] = std::move(value);
  }
  return true;
}
