// The map family of the "DS.." group.
#include "ds/builtin_helpers.h"
#include "ds/ds_builtins.h"
#include "ds/map.h"
#include "script/errors.h"

namespace {

CDS_HashMap* MapArg(int argc, const ScriptValue* args) { return DS_FirstArg<CDS_HashMap>(eDS_Map, argc, args); }

const ScriptValue* KeyArg(int argc, const ScriptValue* args) { return DS_ValueArg(argc, args, 1); }
const ScriptValue* ValueArg(int argc, const ScriptValue* args) { return DS_ValueArg(argc, args, 2); }

TW_BUILTIN(ds_map_create) {
  // Registered without arguments; a call that brings one chooses the bucket count.
  int32_t buckets = argc == 1 ? TruncatedArg(argc, args, 0) : CDS_HashMap::kDefaultBuckets;
  auto* map = new CDS_HashMap(buckets);
  Return(result, DS_Add(eDS_Map, map));
}

TW_BUILTIN(ds_map_destroy) { DS_DestroyHolderBuiltin(eDS_Map, argc, args); }

TW_BUILTIN(ds_map_clear) {
  if (CDS_HashMap* map = MapArg(argc, args)) map->Clear();
}

TW_BUILTIN(ds_map_copy) { DS_CopyBuiltin<CDS_HashMap>(eDS_Map, argc, args); }

TW_BUILTIN(ds_map_size) {
  CDS_HashMap* map = MapArg(argc, args);
  Return(result, map ? map->Size() : 0);
}

TW_BUILTIN(ds_map_empty) {
  CDS_HashMap* map = MapArg(argc, args);
  Return(result, map && map->Empty() ? 1 : 0);
}

TW_BUILTIN(ds_map_add) {
  Return(result, 0);
  if (CDS_HashMap* map = MapArg(argc, args))
    Return(result, map->Add(KeyArg(argc, args), ValueArg(argc, args)) ? 1 : 0);
}

TW_BUILTIN(ds_map_set) {
  if (CDS_HashMap* map = MapArg(argc, args)) map->Set(KeyArg(argc, args), ValueArg(argc, args));
}

TW_BUILTIN(ds_map_set_pre) {
  ScriptValue_Copy(result, ValueArg(argc, args));
  if (CDS_HashMap* map = MapArg(argc, args)) map->Set(KeyArg(argc, args), ValueArg(argc, args));
}

TW_BUILTIN(ds_map_set_post) {
  if (CDS_HashMap* map = MapArg(argc, args)) {
    map->Set(KeyArg(argc, args), ValueArg(argc, args), result);
    DS_StripMarks(result);
  }
}

// The nested value of ds_map_add_list and its kin: a plain real naming an
// existing container of the kind, stored with the kind's mark. False after
// reporting when it names none.
bool NestedArg(DSKind kind, int argc, const ScriptValue* args, ScriptValue* out) {
  const ScriptValue* v = ValueArg(argc, args);
  if (v->kind != kKindReal || !DS_Get(kind, Real_ToInt32(v->real))) {
    Error_ReportRuntime(ErrorSeverity::kError,
                        kind == eDS_List ? "Invalid list index for value" : "Invalid map index for value");
    return false;
  }
  *out = ScriptValue::FromReal(v->real);
  out->kind = kind == eDS_List ? DS_MARK_LIST : DS_MARK_MAP;
  return true;
}

void AddNested(DSKind kind, ScriptValue* result, int argc, const ScriptValue* args, bool replace) {
  Return(result, 0);
  CDS_HashMap* map = MapArg(argc, args);
  ScriptValue nested;
  if (!map || !NestedArg(kind, argc, args, &nested)) return;
  bool done = replace ? map->Replace(KeyArg(argc, args), &nested) : map->Add(KeyArg(argc, args), &nested);
  Return(result, done ? 1 : 0);
}

TW_BUILTIN(ds_map_add_list) { AddNested(eDS_List, result, argc, args, false); }
TW_BUILTIN(ds_map_add_map) { AddNested(eDS_Map, result, argc, args, false); }
TW_BUILTIN(ds_map_replace_list) { AddNested(eDS_List, result, argc, args, true); }
TW_BUILTIN(ds_map_replace_map) { AddNested(eDS_Map, result, argc, args, true); }

TW_BUILTIN(ds_map_replace) {
  if (CDS_HashMap* map = MapArg(argc, args))
    Return(result, map->Replace(KeyArg(argc, args), ValueArg(argc, args)) ? 1 : 0);
}

TW_BUILTIN(ds_map_delete) {
  if (CDS_HashMap* map = MapArg(argc, args)) map->Delete(KeyArg(argc, args));
}

TW_BUILTIN(ds_map_exists) {
  CDS_HashMap* map = MapArg(argc, args);
  Return(result, map && map->Find(KeyArg(argc, args)) ? 1 : 0);
}

// The getters give real 0 for a bad id as for a missing key.
TW_BUILTIN(ds_map_find_value) {
  CDS_HashMap* map = MapArg(argc, args);
  const HashPair* pair = map ? map->Find(KeyArg(argc, args)) : nullptr;
  DS_ReturnStored(result, pair ? &pair->value : nullptr);
}

// The key of the pair a walk reaches, or real 0.
template <class Step>
void ReturnKey(ScriptValue* result, int argc, const ScriptValue* args, Step step) {
  CDS_HashMap* map = MapArg(argc, args);
  const HashPair* pair = map ? step(*map) : nullptr;
  DS_ReturnStored(result, pair ? &pair->key : nullptr);
}

TW_BUILTIN(ds_map_find_previous) {
  ReturnKey(result, argc, args, [&](const CDS_HashMap& map) { return map.FindPrevious(KeyArg(argc, args)); });
}

TW_BUILTIN(ds_map_find_next) {
  ReturnKey(result, argc, args, [&](const CDS_HashMap& map) { return map.FindNext(KeyArg(argc, args)); });
}

TW_BUILTIN(ds_map_find_first) {
  ReturnKey(result, argc, args, [](const CDS_HashMap& map) { return map.FindFirst(); });
}

TW_BUILTIN(ds_map_find_last) {
  ReturnKey(result, argc, args, [](const CDS_HashMap& map) { return map.FindLast(); });
}

TW_BUILTIN(ds_map_write) {
  if (CDS_HashMap* map = MapArg(argc, args)) DS_ReturnText(result, map->Write());
}

TW_BUILTIN(ds_map_read) {
  CDS_HashMap* map = MapArg(argc, args);
  // Anything but a string is no text.
  if (map && IsStringArg(argc, args, 1)) map->Read(TextArg(argc, args, 1));
}

const NamedBuiltin kMapBuiltins[] = {
    {"ds_map_create", ds_map_create},
    {"ds_map_destroy", ds_map_destroy},
    {"ds_map_clear", ds_map_clear},
    {"ds_map_copy", ds_map_copy},
    {"ds_map_size", ds_map_size},
    {"ds_map_empty", ds_map_empty},
    {"ds_map_add", ds_map_add},
    {"ds_map_set", ds_map_set},
    {"ds_map_set_pre", ds_map_set_pre},
    {"ds_map_set_post", ds_map_set_post},
    {"ds_map_add_list", ds_map_add_list},
    {"ds_map_add_map", ds_map_add_map},
    {"ds_map_replace", ds_map_replace},
    {"ds_map_replace_list", ds_map_replace_list},
    {"ds_map_replace_map", ds_map_replace_map},
    {"ds_map_delete", ds_map_delete},
    {"ds_map_exists", ds_map_exists},
    {"ds_map_find_value", ds_map_find_value},
    {"ds_map_find_previous", ds_map_find_previous},
    {"ds_map_find_next", ds_map_find_next},
    {"ds_map_find_first", ds_map_find_first},
    {"ds_map_find_last", ds_map_find_last},
    {"ds_map_write", ds_map_write},
    {"ds_map_read", ds_map_read},
};

}  // namespace

std::span<const NamedBuiltin> DS_MapBuiltins() { return kMapBuiltins; }
