// The list family of the "DS.." group. A bad id reports and leaves the
// result as the caller set it.
#include "ds/builtin_helpers.h"
#include "ds/ds_builtins.h"
#include "ds/list.h"

namespace {

CDS_List* ListArg(int argc, const ScriptValue* args) { return DS_FirstArg<CDS_List>(eDS_List, argc, args); }

int32_t PosArg(int argc, const ScriptValue* args) { return RoundedArg(argc, args, 1); }

TW_BUILTIN(ds_list_create) { Return(result, DS_Add(eDS_List, new CDS_List)); }

TW_BUILTIN(ds_list_destroy) { DS_DestroyHolderBuiltin(eDS_List, argc, args); }

TW_BUILTIN(ds_list_clear) {
  if (CDS_List* list = ListArg(argc, args)) list->Clear();
}

TW_BUILTIN(ds_list_copy) { DS_CopyBuiltin<CDS_List>(eDS_List, argc, args); }

TW_BUILTIN(ds_list_size) {
  if (CDS_List* list = ListArg(argc, args)) Return(result, list->Size());
}

TW_BUILTIN(ds_list_empty) {
  if (CDS_List* list = ListArg(argc, args)) Return(result, list->Size() == 0 ? 1 : 0);
}

TW_BUILTIN(ds_list_add) {
  if (CDS_List* list = ListArg(argc, args)) list->Add(DS_ValueArg(argc, args, 1));
}

TW_BUILTIN(ds_list_insert) {
  if (CDS_List* list = ListArg(argc, args)) list->Insert(PosArg(argc, args), DS_ValueArg(argc, args, 2));
}

TW_BUILTIN(ds_list_replace) {
  if (CDS_List* list = ListArg(argc, args)) list->Replace(PosArg(argc, args), DS_ValueArg(argc, args, 2));
}

TW_BUILTIN(ds_list_delete) {
  if (CDS_List* list = ListArg(argc, args)) list->Delete(PosArg(argc, args));
}

TW_BUILTIN(ds_list_find_index) {
  // This one id is truncated, not rounded.
  auto* list = DS_GetAs<CDS_List>(eDS_List, TruncatedArg(argc, args, 0));
  if (!list) {
    DS_ReportMissing();
    return;
  }
  Return(result, list->FindIndex(DS_ValueArg(argc, args, 1)));
}

TW_BUILTIN(ds_list_find_value) {
  if (CDS_List* list = ListArg(argc, args)) DS_ReturnStored(result, list->Item(PosArg(argc, args)));
}

void MarkItem(uint32_t mark, ScriptValue* result, int argc, const ScriptValue* args) {
  CDS_List* list = ListArg(argc, args);
  if (!list) return;
  const int32_t pos = PosArg(argc, args);
  list->Mark(pos, mark);
  DS_ReturnStored(result, list->Item(pos));
}

TW_BUILTIN(ds_list_mark_as_list) { MarkItem(DS_MARK_LIST, result, argc, args); }
TW_BUILTIN(ds_list_mark_as_map) { MarkItem(DS_MARK_MAP, result, argc, args); }

TW_BUILTIN(ds_list_sort) {
  if (CDS_List* list = ListArg(argc, args)) list->Sort(HalfFlagArg(argc, args, 1));
}

TW_BUILTIN(ds_list_shuffle) {
  if (CDS_List* list = ListArg(argc, args)) list->Shuffle();
}

TW_BUILTIN(ds_list_write) {
  if (CDS_List* list = ListArg(argc, args)) DS_ReturnText(result, list->Write());
}

TW_BUILTIN(ds_list_read) {
  CDS_List* list = ListArg(argc, args);
  // Anything but a string is no text.
  if (list && IsStringArg(argc, args, 1)) list->Read(TextArg(argc, args, 1));
}

TW_BUILTIN(ds_list_set) {
  if (CDS_List* list = ListArg(argc, args)) list->Set(PosArg(argc, args), DS_ValueArg(argc, args, 2));
}

TW_BUILTIN(ds_list_set_post) {
  if (CDS_List* list = ListArg(argc, args))
    if (list->Set(PosArg(argc, args), DS_ValueArg(argc, args, 2), result)) DS_StripMarks(result);
}

TW_BUILTIN(ds_list_set_pre) {
  if (CDS_List* list = ListArg(argc, args)) {
    ScriptValue_Copy(result, DS_ValueArg(argc, args, 2));
    list->Set(PosArg(argc, args), DS_ValueArg(argc, args, 2));
  }
}

const NamedBuiltin kListBuiltins[] = {
    {"ds_list_create", ds_list_create},
    {"ds_list_destroy", ds_list_destroy},
    {"ds_list_clear", ds_list_clear},
    {"ds_list_copy", ds_list_copy},
    {"ds_list_size", ds_list_size},
    {"ds_list_empty", ds_list_empty},
    {"ds_list_add", ds_list_add},
    {"ds_list_insert", ds_list_insert},
    {"ds_list_replace", ds_list_replace},
    {"ds_list_delete", ds_list_delete},
    {"ds_list_find_index", ds_list_find_index},
    {"ds_list_find_value", ds_list_find_value},
    {"ds_list_mark_as_list", ds_list_mark_as_list},
    {"ds_list_mark_as_map", ds_list_mark_as_map},
    {"ds_list_sort", ds_list_sort},
    {"ds_list_shuffle", ds_list_shuffle},
    {"ds_list_write", ds_list_write},
    {"ds_list_read", ds_list_read},
    {"ds_list_set", ds_list_set},
    {"ds_list_set_post", ds_list_set_post},
    {"ds_list_set_pre", ds_list_set_pre},
};

}  // namespace

std::span<const NamedBuiltin> DS_ListBuiltins() { return kListBuiltins; }
