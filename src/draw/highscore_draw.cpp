// draw_highscore: the high-score table drawn in the current font, colour and
// alignment, names on the left and scores ending at the right edge. It
// belongs to the "Interaction.." group, which takes it from here.

#include <string>

#include "draw/draw_builtins.h"
#include "draw/text.h"
#include "files/high_score.h"
#include "script/builtin_args.h"

namespace {

TW_BUILTIN(draw_highscore) {
  const int x1 = RoundedArg(argc, args, 0);
  const int y1 = RoundedArg(argc, args, 1);
  const int width = Real_RoundToInt32(Arg(argc, args, 2) - Arg(argc, args, 0));
  const int rowHeight = Real_RoundToInt32((Arg(argc, args, 3) - Arg(argc, args, 1)) / 10.0);
  for (int place = 1; place <= kHighScorePlaces; ++place) {
    const HighScoreEntry* entry = HighScore_At(place);
    const float y = float(y1 + (place - 1) * rowHeight);
    Text_Draw(float(x1), y, entry->name.c_str(), -1, -1);
    const std::string score = std::to_string(entry->score);
    Text_Draw(float(x1 + width - Text_Width(score.c_str(), -1, -1)), y, score.c_str(), -1, -1);
  }
}

const NamedBuiltin kHighScoreDraw[] = {{"draw_highscore", draw_highscore}};

}  // namespace

std::span<const NamedBuiltin> Draw_HighScoreBuiltins() { return kHighScoreDraw; }
