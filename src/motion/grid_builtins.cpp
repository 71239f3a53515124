// The mp_grid_ family of the "Game.." group. Every coordinate and cell
// number is rounded; an id naming no grid makes a built-in do nothing.
#include "core/instance_collision.h"
#include "core/instances.h"
#include "core/paths.h"
#include "motion/game_builtins.h"
#include "motion/grids.h"
#include "script/builtin_args.h"
#include "script/targets.h"
#include "script/errors.h"

namespace {


int32_t Int(int argc, const ScriptValue* args, int i) { return RoundedArg(argc, args, i); }
CGrid* GridArg(int argc, const ScriptValue* args) { return MotionGrid_Get(Int(argc, args, 0)); }

TW_BUILTIN(F_MpGridCreate) {
  Return(result, MotionGrid_Create(Int(argc, args, 0), Int(argc, args, 1), Int(argc, args, 2), Int(argc, args, 3),
                                   Int(argc, args, 4), Int(argc, args, 5)));
}

TW_BUILTIN(F_MpGridDestroy) { MotionGrid_Destroy(Int(argc, args, 0)); }

TW_BUILTIN(F_MpGridClearAll) {
  if (CGrid* grid = GridArg(argc, args)) grid->ClearAll();
}

TW_BUILTIN(F_MpGridClearCell) {
  if (CGrid* grid = GridArg(argc, args)) grid->ClearCell(Int(argc, args, 1), Int(argc, args, 2));
}

TW_BUILTIN(F_MpGridAddCell) {
  if (CGrid* grid = GridArg(argc, args)) grid->AddCell(Int(argc, args, 1), Int(argc, args, 2));
}

TW_BUILTIN(F_MpGridClearRectangle) {
  if (CGrid* grid = GridArg(argc, args))
    grid->ClearRectangle(Int(argc, args, 1), Int(argc, args, 2), Int(argc, args, 3), Int(argc, args, 4));
}

TW_BUILTIN(F_MpGridAddRectangle) {
  if (CGrid* grid = GridArg(argc, args))
    grid->AddRectangle(Int(argc, args, 1), Int(argc, args, 2), Int(argc, args, 3), Int(argc, args, 4));
}

TW_BUILTIN(F_MpGridAddInstances) {
  CGrid* grid = GridArg(argc, args);
  if (!grid) return;
  const int32_t target = Int(argc, args, 1);
  const bool precise = HalfFlagArg(argc, args, 2);
  if (target == kInstanceSelf || target == kInstanceOther) {
    if (CObjInstance* one = target == kInstanceSelf ? self : other) grid->AddInstance(one, precise);
    return;
  }
  Target_Find(target, [&](CObjInstance* i) {
    grid->AddInstance(i, precise);
    return false;  // on to the next
  });
}

TW_BUILTIN(F_MpGridPath) {
  CGrid* grid = GridArg(argc, args);
  if (!grid) {
    Return(result, 0);
    return;
  }
  CMotionPath* path = Path_Get(Int(argc, args, 1));
  if (!path) {
    Error_ReportRuntime(ErrorSeverity::kError, "Trying to assign to a non-existing path.");
    return;
  }
  const bool found = grid->FindPath(path, Int(argc, args, 2), Int(argc, args, 3), Int(argc, args, 4),
                                    Int(argc, args, 5), HalfFlagArg(argc, args, 6));
  Return(result, found ? 1 : 0);
}

TW_BUILTIN(F_MpGridDraw) {
  if (CGrid* grid = GridArg(argc, args)) grid->Draw();
}

}  // namespace

std::span<const NamedBuiltin> Motion_GridBuiltins() {
  static const NamedBuiltin kEntries[] = {
      {"mp_grid_create", F_MpGridCreate},
      {"mp_grid_destroy", F_MpGridDestroy},
      {"mp_grid_clear_all", F_MpGridClearAll},
      {"mp_grid_clear_cell", F_MpGridClearCell},
      {"mp_grid_clear_rectangle", F_MpGridClearRectangle},
      {"mp_grid_add_cell", F_MpGridAddCell},
      {"mp_grid_add_rectangle", F_MpGridAddRectangle},
      {"mp_grid_add_instances", F_MpGridAddInstances},
      {"mp_grid_path", F_MpGridPath},
      {"mp_grid_draw", F_MpGridDraw},
  };
  return kEntries;
}
