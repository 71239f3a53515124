// The motion-planning family of the "Game.." group: each built-in moves the
// calling instance, or plans a path for it, through the planners.
#include "core/instance_collision.h"
#include "core/paths.h"
#include "motion/game_builtins.h"
#include "motion/planning.h"
#include "script/builtin_args.h"
#include "script/errors.h"

namespace {

float Real(int argc, const ScriptValue* args, int i) { return float(Arg(argc, args, i)); }

// What blocks the way, from the last argument: checkall in the plain forms
// (-3, solid or all instances), obj in the _object forms (any instance of it).
struct Obstacles {
  int32_t target;
  bool checkAll;
};
Obstacles ObstaclesArg(bool objectForm, int argc, const ScriptValue* args, int i) {
  if (objectForm) return {RoundedArg(argc, args, i), true};
  return {kInstanceAll, HalfFlagArg(argc, args, i)};
}

using StepFn = bool (*)(CObjInstance*, float, float, float, int32_t, bool);

// xgoal, ygoal, stepsize, then checkall or obj.
void Step(StepFn step, bool objectForm, ScriptValue* result, CObjInstance* self, int argc, const ScriptValue* args) {
  if (!self) return;
  const Obstacles o = ObstaclesArg(objectForm, argc, args, 3);
  Return(result, step(self, Real(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2), o.target, o.checkAll));
}

// The path argument first; a path that does not exist is reported and
// leaves the result alone.
CMotionPath* PlanPath(int argc, const ScriptValue* args) {
  const int32_t index = RoundedArg(argc, args, 0);
  if (!Path_Exists(index)) {
    Error_ReportRuntime(ErrorSeverity::kError, "Trying to assign to a non-existing path.");
    return nullptr;
  }
  return Path_Get(index);
}

// path, xgoal, ygoal, stepsize, then checkall or obj.
void LinearPath(bool objectForm, ScriptValue* result, CObjInstance* self, int argc, const ScriptValue* args) {
  CMotionPath* path = PlanPath(argc, args);
  if (!path || !self) return;
  const Obstacles o = ObstaclesArg(objectForm, argc, args, 4);
  Return(result, Motion_LinearPath(self, path, Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3),
                                   o.target, o.checkAll));
}

// path, xgoal, ygoal, stepsize, factor, then checkall or obj.
void PotentialPath(bool objectForm, ScriptValue* result, CObjInstance* self, int argc, const ScriptValue* args) {
  CMotionPath* path = PlanPath(argc, args);
  if (!path || !self) return;
  const Obstacles o = ObstaclesArg(objectForm, argc, args, 5);
  Return(result, Motion_PotentialPath(self, path, Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3),
                                      Real(argc, args, 4), o.target, o.checkAll));
}

TW_BUILTIN(F_MpLinearStep) { Step(Motion_LinearStep, false, result, self, argc, args); }
TW_BUILTIN(F_MpLinearStepObject) { Step(Motion_LinearStep, true, result, self, argc, args); }
TW_BUILTIN(F_MpPotentialStep) { Step(Motion_PotentialStep, false, result, self, argc, args); }
TW_BUILTIN(F_MpPotentialStepObject) { Step(Motion_PotentialStep, true, result, self, argc, args); }
TW_BUILTIN(F_MpLinearPath) { LinearPath(false, result, self, argc, args); }
TW_BUILTIN(F_MpLinearPathObject) { LinearPath(true, result, self, argc, args); }
TW_BUILTIN(F_MpPotentialPath) { PotentialPath(false, result, self, argc, args); }
TW_BUILTIN(F_MpPotentialPathObject) { PotentialPath(true, result, self, argc, args); }

TW_BUILTIN(F_MpPotentialSettings) {
  Motion_SetPotentialSettings(Real(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2),
                              HalfFlagArg(argc, args, 3));
}

}  // namespace

std::span<const NamedBuiltin> Motion_PlanningBuiltins() {
  static const NamedBuiltin kEntries[] = {
      {"mp_linear_step", F_MpLinearStep},
      {"mp_linear_path", F_MpLinearPath},
      {"mp_linear_step_object", F_MpLinearStepObject},
      {"mp_linear_path_object", F_MpLinearPathObject},
      {"mp_potential_settings", F_MpPotentialSettings},
      {"mp_potential_step", F_MpPotentialStep},
      {"mp_potential_path", F_MpPotentialPath},
      {"mp_potential_step_object", F_MpPotentialStepObject},
      {"mp_potential_path_object", F_MpPotentialPathObject},
  };
  return kEntries;
}
