// The instance family of the "Game.." group: creating, copying, changing and
// destroying instances, deactivating and activating them, transitions and
// sleep.
#include <cmath>
#include <cstdint>

#include "core/instance_commands.h"
#include "core/instances.h"
#include "core/objects.h"
#include "core/run_state.h"
#include "graphics/transitions.h"
#include "motion/game_builtins.h"
#include "script/builtin_args.h"
#include "script/targets.h"
#include "script/errors.h"

namespace {


float Real(int argc, const ScriptValue* args, int i) { return float(Arg(argc, args, i)); }

TW_BUILTIN(F_InstanceCreate) {
  Return(result, -1);
  for (int i = 0; i < 3; ++i) {
    if (IsStringArg(argc, args, i)) {
      Error_ReportRuntime(ErrorSeverity::kError, "instance_create( ) error: Illegal type");
      return;
    }
  }
  if (CObjInstance* made = Instance_Create(TruncatedArg(argc, args, 2), Real(argc, args, 0), Real(argc, args, 1)))
    Return(result, made->id);
}

TW_BUILTIN(F_InstanceCopy) {
  CObjInstance* copy = Instance_Copy(self, HalfFlagArg(argc, args, 0));
  Return(result, copy ? copy->id : -1);
}

TW_BUILTIN(F_InstanceDestroy) { Instance_Destroy(self); }

TW_BUILTIN(F_InstanceChange) {
  const int32_t object = RoundedArg(argc, args, 0);
  // A missing object is reported even without a calling instance.
  if (self || !Object_Exists(object)) Instance_ChangeObject(self, object, HalfFlagArg(argc, args, 1));
}

TW_BUILTIN(F_InstanceSprite) {
  if (self) Instance_SetSprite(self, RoundedArg(argc, args, 0));
}

TW_BUILTIN(F_PositionDestroy) { Position_Destroy(Real(argc, args, 0), Real(argc, args, 1)); }

TW_BUILTIN(F_PositionChange) {
  Position_Change(Real(argc, args, 0), Real(argc, args, 1), RoundedArg(argc, args, 2), HalfFlagArg(argc, args, 3));
}

// The instance is of the object or of one of its descendants.
bool OfObject(const CObjInstance* i, int32_t object) {
  if (i->object_index == object) return true;
  const CObject* own = Object_Find(i->object_index);
  return own && own->HasAncestor(object);
}

// What instance_deactivate_object and instance_activate_object change: an
// instance (self, other or an id) for `one`, or the collected instances of
// all or of an object with its descendants for `each`.
template <typename Fn>
void ForTarget(int32_t target, CObjInstance* self, CObjInstance* other, bool deactivating, Fn&& change) {
  if (target == kInstanceSelf) {
    if (self) change(self);
    return;
  }
  if (target == kInstanceOther) {
    // Deactivating other asks nothing more of it; activating asks it be alive.
    if (other && (deactivating || !other->MarkedDead())) change(other);
    return;
  }
  if (target >= kObjectIndexLimit) {
    CObjInstance* i = Instance_FindByID(target);
    if (i && !i->MarkedDead() && i->deactivated != deactivating) change(i);
    return;
  }
  if (target != kInstanceAll && (target < 0 || !Object_Exists(target))) return;
  for (CObjInstance* i : deactivating ? Instance_CollectActive() : Instance_CollectDeactivated())
    if (target == kInstanceAll || OfObject(i, target)) change(i);
}

// The region built-ins' walk: every collected instance whose outside test
// differs from the inside flag.
template <typename Fn>
void ForRegion(int argc, const ScriptValue* args, bool deactivating, Fn&& change) {
  const float left = Real(argc, args, 0), top = Real(argc, args, 1);
  const float right = left + Real(argc, args, 2), bottom = top + Real(argc, args, 3);
  const bool inside = HalfFlagArg(argc, args, 4);
  for (CObjInstance* i : deactivating ? Instance_CollectActive() : Instance_CollectDeactivated())
    if (Instance_OutsideRegion(i, left, top, right, bottom) != inside) change(i);
}

TW_BUILTIN(F_InstanceDeactivateAll) {
  for (CObjInstance* i : Instance_CollectActive()) Instance_Deactivate(i);
  if (HalfFlagArg(argc, args, 0) && self && !self->MarkedDead()) Instance_Activate(self);
}

TW_BUILTIN(F_InstanceDeactivateObject) {
  ForTarget(RoundedArg(argc, args, 0), self, other, true, Instance_Deactivate);
}

TW_BUILTIN(F_InstanceDeactivateRegion) {
  ForRegion(argc, args, true, Instance_Deactivate);
  if (HalfFlagArg(argc, args, 5) && self && !self->MarkedDead() && self->deactivated) Instance_Activate(self);
}

TW_BUILTIN(F_InstanceActivateAll) {
  for (CObjInstance* i : Instance_CollectDeactivated()) Instance_Activate(i);
}

TW_BUILTIN(F_InstanceActivateObject) {
  ForTarget(RoundedArg(argc, args, 0), self, other, false, Instance_Activate);
}

TW_BUILTIN(F_InstanceActivateRegion) { ForRegion(argc, args, false, Instance_Activate); }

TW_BUILTIN(F_TransitionDefine) {
  Return(result, Transition_Define(RoundedArg(argc, args, 0), TextArg(argc, args, 1)) ? 1 : 0);
}

TW_BUILTIN(F_TransitionExists) { Return(result, TransFunctionExists(RoundedArg(argc, args, 0)) ? 1 : 0); }

TW_BUILTIN(F_Sleep) { Time_Wait(Real_ToInt64(std::nearbyint(Arg(argc, args, 0) * 1000.0))); }

}  // namespace

std::span<const NamedBuiltin> Motion_InstanceBuiltins() {
  static const NamedBuiltin kEntries[] = {
      {"instance_create", F_InstanceCreate},
      {"instance_copy", F_InstanceCopy},
      {"instance_change", F_InstanceChange},
      {"instance_destroy", F_InstanceDestroy},
      {"instance_sprite", F_InstanceSprite},
      {"position_destroy", F_PositionDestroy},
      {"position_change", F_PositionChange},
      {"instance_deactivate_all", F_InstanceDeactivateAll},
      {"instance_deactivate_object", F_InstanceDeactivateObject},
      {"instance_deactivate_region", F_InstanceDeactivateRegion},
      {"instance_activate_all", F_InstanceActivateAll},
      {"instance_activate_object", F_InstanceActivateObject},
      {"instance_activate_region", F_InstanceActivateRegion},
      {"transition_define", F_TransitionDefine},
      {"transition_exists", F_TransitionExists},
      {"sleep", F_Sleep},
  };
  return kEntries;
}
