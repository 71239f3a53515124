// The high-score built-ins of the "Interaction.." group. No table window
// exists on this platform: the display settings are only stored, and showing
// the table only clears the input, as closing the window would.

#include <string>

#include "core/run_state.h"
#include "files/high_score.h"
#include "input/input.h"
#include "input/input_builtins.h"
#include "script/builtin_args.h"
#include "script/console.h"
#include "script/errors.h"

namespace {

// The place argument, or 0 after reporting one outside the table.
int Place(const char* builtin, int argc, const ScriptValue* args) {
  const int place = RoundedArg(argc, args, 0);
  if (place >= 1 && place <= kHighScorePlaces) return place;
  const std::string message = std::string(builtin) + ": there is no place " + std::to_string(place) +
                              " in the high-score table (places 1 to 10)";
  Error_ReportRuntime(ErrorSeverity::kError, message.c_str());
  return 0;
}

TW_BUILTIN(highscore_show) { IO_Clear(); }

TW_BUILTIN(highscore_show_ext) {
  HighScoreDisplay& d = HighScore_Display();
  d.backgroundImage = RoundedArg(argc, args, 1);
  d.border = HalfFlagArg(argc, args, 2);
  d.newColour = RoundedArg(argc, args, 3);
  d.otherColour = RoundedArg(argc, args, 4);
  d.font = TextArg(argc, args, 5);
  d.fontSize = RoundedArg(argc, args, 6);
  IO_Clear();
}

TW_BUILTIN(highscore_set_background) { HighScore_Display().backgroundImage = RoundedArg(argc, args, 0); }
TW_BUILTIN(highscore_set_border) { HighScore_Display().border = HalfFlagArg(argc, args, 0); }

TW_BUILTIN(highscore_set_font) {
  HighScore_Display().font = TextArg(argc, args, 0);
  HighScore_Display().fontSize = RoundedArg(argc, args, 1);
  g_OutputConsole->Output("Function F_HighscoreSetFont has no implementation.\n\n");
}

TW_BUILTIN(highscore_set_strings) {
  HighScoreDisplay& d = HighScore_Display();
  d.caption = TextArg(argc, args, 0);
  d.nobody = TextArg(argc, args, 1);
  d.closingHint = TextArg(argc, args, 2);
}

TW_BUILTIN(highscore_set_colors) {
  HighScoreDisplay& d = HighScore_Display();
  d.background = RoundedArg(argc, args, 0);
  d.newColour = RoundedArg(argc, args, 1);
  d.otherColour = RoundedArg(argc, args, 2);
}

TW_BUILTIN(highscore_clear) { HighScore_Clear(); }
TW_BUILTIN(highscore_add) { HighScore_Add(TextArg(argc, args, 0), RoundedArg(argc, args, 1)); }

TW_BUILTIN(highscore_add_current) {
  HighScore_Add("DEFAULT", g_Run.score);
  IO_Clear();
}

TW_BUILTIN(highscore_value) {
  const int place = Place("highscore_value", argc, args);
  Return(result, place ? HighScore_At(place)->score : 0);
}

TW_BUILTIN(highscore_name) {
  const int place = Place("highscore_name", argc, args);
  ScriptValue_SetText(result, place ? HighScore_At(place)->name.c_str() : "");
}

const NamedBuiltin kHighScoreBuiltins[] = {
    {"highscore_show", highscore_show},
    {"highscore_set_background", highscore_set_background},
    {"highscore_set_border", highscore_set_border},
    {"highscore_set_font", highscore_set_font},
    {"highscore_set_strings", highscore_set_strings},
    {"highscore_set_colors", highscore_set_colors},
    {"highscore_show_ext", highscore_show_ext},
    {"highscore_clear", highscore_clear},
    {"highscore_add", highscore_add},
    {"highscore_add_current", highscore_add_current},
    {"highscore_value", highscore_value},
    {"highscore_name", highscore_name},
};

}  // namespace

std::span<const NamedBuiltin> Input_HighScoreBuiltins() { return kHighScoreBuiltins; }
