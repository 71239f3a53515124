// The path family of the "Resource.." group. Every built-in but path_add and
// path_assign first asks whether its path exists and otherwise does nothing
// (getters give -1) or reports the misuse.
#include "core/paths.h"
#include "motion/motion.h"
#include "script/builtin_args.h"
#include "script/errors.h"
#include "script/function_registry.h"

namespace {

void Report(const char* message) { Error_ReportRuntime(ErrorSeverity::kError, message); }

float Real(int argc, const ScriptValue* args, int i) { return float(Arg(argc, args, i)); }
CMotionPath* PathArg(int argc, const ScriptValue* args, int i = 0) { return Path_Get(RoundedArg(argc, args, i)); }

// A getter's value of the path, -1 when there is none.
template <typename Get>
void Getter(ScriptValue* result, int argc, const ScriptValue* args, Get get) {
  const CMotionPath* path = PathArg(argc, args);
  Return(result, path ? double(get(*path)) : -1.0);
}

TW_BUILTIN(F_PathExists) { Return(result, Path_Exists(RoundedArg(argc, args, 0)) ? 1 : 0); }
TW_BUILTIN(F_PathGetName) { ScriptValue_SetText(result, Path_GetName(RoundedArg(argc, args, 0)).c_str()); }
TW_BUILTIN(F_PathGetLength) {
  Getter(result, argc, args, [](const CMotionPath& p) { return p.GetLength(); });
}
TW_BUILTIN(F_PathGetKind) {
  Getter(result, argc, args, [](const CMotionPath& p) { return p.GetKind() == 1 ? 1 : 0; });
}
TW_BUILTIN(F_PathGetClosed) {
  Getter(result, argc, args, [](const CMotionPath& p) { return p.GetClosed() ? 1 : 0; });
}
TW_BUILTIN(F_PathGetPrecision) {
  Getter(result, argc, args, [](const CMotionPath& p) { return p.GetPrecision(); });
}
TW_BUILTIN(F_PathGetNumber) {
  Getter(result, argc, args, [](const CMotionPath& p) { return p.GetNumber(); });
}
TW_BUILTIN(F_PathGetPointX) {
  const int32_t n = RoundedArg(argc, args, 1);
  Getter(result, argc, args, [n](const CMotionPath& p) { return p.GetPoint(n).x; });
}
TW_BUILTIN(F_PathGetPointY) {
  const int32_t n = RoundedArg(argc, args, 1);
  Getter(result, argc, args, [n](const CMotionPath& p) { return p.GetPoint(n).y; });
}
TW_BUILTIN(F_PathGetPointSpeed) {
  const int32_t n = RoundedArg(argc, args, 1);
  Getter(result, argc, args, [n](const CMotionPath& p) { return p.GetPoint(n).speed; });
}
TW_BUILTIN(F_PathGetX) {
  const float t = Real(argc, args, 1);
  Getter(result, argc, args, [t](const CMotionPath& p) { return p.XPosition(t); });
}
TW_BUILTIN(F_PathGetY) {
  const float t = Real(argc, args, 1);
  Getter(result, argc, args, [t](const CMotionPath& p) { return p.YPosition(t); });
}
TW_BUILTIN(F_PathGetSpeed) {
  const float t = Real(argc, args, 1);
  Getter(result, argc, args, [t](const CMotionPath& p) { return p.SpeedAt(t); });
}

TW_BUILTIN(F_PathSetKind) {
  if (CMotionPath* p = PathArg(argc, args)) p->SetKind(RoundedArg(argc, args, 1));
}
TW_BUILTIN(F_PathSetClosed) {
  if (CMotionPath* p = PathArg(argc, args)) p->SetClosed(HalfFlagArg(argc, args, 1));
}
TW_BUILTIN(F_PathSetPrecision) {
  if (CMotionPath* p = PathArg(argc, args)) p->SetPrecision(RoundedArg(argc, args, 1));
}

TW_BUILTIN(F_PathAdd) { Return(result, Path_Add()); }

TW_BUILTIN(F_PathDuplicate) {
  const int32_t index = RoundedArg(argc, args, 0);
  if (!Path_Exists(index)) return Report("Trying to duplicate non-existing path.");
  Return(result, Path_Duplicate(index));
}

TW_BUILTIN(F_PathAssign) {
  if (!Path_Assign(RoundedArg(argc, args, 0), RoundedArg(argc, args, 1))) Report("Error assigning a path.");
}

TW_BUILTIN(F_PathAppend) {
  CMotionPath* path = PathArg(argc, args);
  if (!path) return Report("Appending to non-existing path.");
  const CMotionPath* appended = PathArg(argc, args, 1);
  if (!appended) return Report("Appending a non-existing path.");
  path->Append(appended);
}

TW_BUILTIN(F_PathDelete) {
  const int32_t index = RoundedArg(argc, args, 0);
  if (!Path_Exists(index)) {
    Return(result, 0);
    return Report("Trying to delete non-existing path.");
  }
  Return(result, Path_Delete(index) ? 1 : 0);
}

TW_BUILTIN(F_PathAddPoint) {
  if (CMotionPath* p = PathArg(argc, args)) p->AddPoint(Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3));
}
TW_BUILTIN(F_PathInsertPoint) {
  if (CMotionPath* p = PathArg(argc, args))
    p->InsertPoint(RoundedArg(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3), Real(argc, args, 4));
}
TW_BUILTIN(F_PathChangePoint) {
  if (CMotionPath* p = PathArg(argc, args))
    p->ChangePoint(RoundedArg(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3), Real(argc, args, 4));
}
TW_BUILTIN(F_PathDeletePoint) {
  if (CMotionPath* p = PathArg(argc, args)) p->DeletePoint(RoundedArg(argc, args, 1));
}
TW_BUILTIN(F_PathClearPoints) {
  if (CMotionPath* p = PathArg(argc, args)) p->Clear();
}
TW_BUILTIN(F_PathReverse) {
  if (CMotionPath* p = PathArg(argc, args)) p->Reverse();
}
TW_BUILTIN(F_PathMirror) {
  if (CMotionPath* p = PathArg(argc, args)) p->Mirror();
}
TW_BUILTIN(F_PathFlip) {
  if (CMotionPath* p = PathArg(argc, args)) p->Flip();
}
TW_BUILTIN(F_PathRotate) {
  if (CMotionPath* p = PathArg(argc, args)) p->Rotate(Real(argc, args, 1));
}
TW_BUILTIN(F_PathRescale) {
  if (CMotionPath* p = PathArg(argc, args)) p->Rescale(Real(argc, args, 1), Real(argc, args, 2));
}
TW_BUILTIN(F_PathShift) {
  if (CMotionPath* p = PathArg(argc, args)) p->Shift(Real(argc, args, 1), Real(argc, args, 2));
}

}  // namespace

void Path_RegisterResourceFunctions() {
  static const struct {
    const char* name;
    BuiltinHandler handler;
    int args;
  } kFamily[] = {
      {"path_name", F_PathGetName, 1},
      {"path_exists", F_PathExists, 1},
      {"path_get_name", F_PathGetName, 1},
      {"path_get_length", F_PathGetLength, 1},
      {"path_get_kind", F_PathGetKind, 1},
      {"path_get_closed", F_PathGetClosed, 1},
      {"path_get_precision", F_PathGetPrecision, 1},
      {"path_get_number", F_PathGetNumber, 1},
      {"path_get_point_x", F_PathGetPointX, 2},
      {"path_get_point_y", F_PathGetPointY, 2},
      {"path_get_point_speed", F_PathGetPointSpeed, 2},
      {"path_get_x", F_PathGetX, 2},
      {"path_get_y", F_PathGetY, 2},
      {"path_get_speed", F_PathGetSpeed, 2},
      {"path_set_kind", F_PathSetKind, 2},
      {"path_set_closed", F_PathSetClosed, 2},
      {"path_set_precision", F_PathSetPrecision, 2},
      {"path_add", F_PathAdd, 0},
      {"path_duplicate", F_PathDuplicate, 1},
      {"path_assign", F_PathAssign, 2},
      {"path_append", F_PathAppend, 2},
      {"path_delete", F_PathDelete, 1},
      {"path_add_point", F_PathAddPoint, 4},
      {"path_insert_point", F_PathInsertPoint, 5},
      {"path_change_point", F_PathChangePoint, 5},
      {"path_delete_point", F_PathDeletePoint, 2},
      {"path_clear_points", F_PathClearPoints, 1},
      {"path_reverse", F_PathReverse, 1},
      {"path_mirror", F_PathMirror, 1},
      {"path_flip", F_PathFlip, 1},
      {"path_rotate", F_PathRotate, 2},
      {"path_rescale", F_PathRescale, 3},
      {"path_shift", F_PathShift, 3},
  };
  for (const auto& b : kFamily) FunctionRegistry_Add(b.name, b.handler, b.args);
}
