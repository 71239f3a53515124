#include "ds/ds.h"
#include "ds/ds_builtins.h"
#include "ds/store.h"

namespace {

const BuiltinGroupName kDSGroup[] = {
    {"ds_set_precision", 1},
    {"ds_exists", 2},
    // stack (11)
    {"ds_stack_create", 0},
    {"ds_stack_destroy", 1},
    {"ds_stack_clear", 1},
    {"ds_stack_copy", 2},
    {"ds_stack_size", 1},
    {"ds_stack_empty", 1},
    {"ds_stack_push", 2},
    {"ds_stack_pop", 1},
    {"ds_stack_top", 1},
    {"ds_stack_write", 1},
    {"ds_stack_read", 2},
    // queue (12)
    {"ds_queue_create", 0},
    {"ds_queue_destroy", 1},
    {"ds_queue_clear", 1},
    {"ds_queue_copy", 2},
    {"ds_queue_size", 1},
    {"ds_queue_empty", 1},
    {"ds_queue_enqueue", 2},
    {"ds_queue_dequeue", 1},
    {"ds_queue_head", 1},
    {"ds_queue_tail", 1},
    {"ds_queue_write", 1},
    {"ds_queue_read", 2},
    // list (21)
    {"ds_list_create", 0},
    {"ds_list_destroy", 1},
    {"ds_list_clear", 1},
    {"ds_list_copy", 2},
    {"ds_list_size", 1},
    {"ds_list_empty", 1},
    {"ds_list_add", 2},
    {"ds_list_insert", 3},
    {"ds_list_replace", 3},
    {"ds_list_delete", 2},
    {"ds_list_find_index", 2},
    {"ds_list_find_value", 2},
    {"ds_list_mark_as_list", 2},
    {"ds_list_mark_as_map", 2},
    {"ds_list_sort", 2},
    {"ds_list_shuffle", 1},
    {"ds_list_write", 1},
    {"ds_list_read", 2},
    {"ds_list_set", 3},
    {"ds_list_set_post", 3},
    {"ds_list_set_pre", 3},
    // map (24)
    {"ds_map_create", 0},
    {"ds_map_destroy", 1},
    {"ds_map_clear", 1},
    {"ds_map_copy", 2},
    {"ds_map_size", 1},
    {"ds_map_empty", 1},
    {"ds_map_add", 3},
    {"ds_map_set", 3},
    {"ds_map_set_pre", 3},
    {"ds_map_set_post", 3},
    {"ds_map_add_list", 3},
    {"ds_map_add_map", 3},
    {"ds_map_replace", 3},
    {"ds_map_replace_list", 3},
    {"ds_map_replace_map", 3},
    {"ds_map_delete", 2},
    {"ds_map_exists", 2},
    {"ds_map_find_value", 2},
    {"ds_map_find_previous", 2},
    {"ds_map_find_next", 2},
    {"ds_map_find_first", 1},
    {"ds_map_find_last", 1},
    {"ds_map_write", 1},
    {"ds_map_read", 2},
    // priority (16)
    {"ds_priority_create", 0},
    {"ds_priority_destroy", 1},
    {"ds_priority_clear", 1},
    {"ds_priority_copy", 2},
    {"ds_priority_size", 1},
    {"ds_priority_empty", 1},
    {"ds_priority_add", 3},
    {"ds_priority_change_priority", 3},
    {"ds_priority_find_priority", 2},
    {"ds_priority_delete_value", 2},
    {"ds_priority_delete_min", 1},
    {"ds_priority_find_min", 1},
    {"ds_priority_delete_max", 1},
    {"ds_priority_find_max", 1},
    {"ds_priority_write", 1},
    {"ds_priority_read", 2},
    // grid (40)
    {"ds_grid_create", 2},
    {"ds_grid_destroy", 1},
    {"ds_grid_copy", 2},
    {"ds_grid_resize", 3},
    {"ds_grid_width", 1},
    {"ds_grid_height", 1},
    {"ds_grid_clear", 2},
    {"ds_grid_set", 4},
    {"ds_grid_set_pre", 4},
    {"ds_grid_set_post", 4},
    {"ds_grid_add", 4},
    {"ds_grid_multiply", 4},
    {"ds_grid_set_region", 6},
    {"ds_grid_add_region", 6},
    {"ds_grid_multiply_region", 6},
    {"ds_grid_set_disk", 5},
    {"ds_grid_add_disk", 5},
    {"ds_grid_multiply_disk", 5},
    {"ds_grid_set_grid_region", 8},
    {"ds_grid_add_grid_region", 8},
    {"ds_grid_multiply_grid_region", 8},
    {"ds_grid_get", 3},
    {"ds_grid_get_sum", 5},
    {"ds_grid_get_max", 5},
    {"ds_grid_get_min", 5},
    {"ds_grid_get_mean", 5},
    {"ds_grid_get_disk_sum", 4},
    {"ds_grid_get_disk_max", 4},
    {"ds_grid_get_disk_min", 4},
    {"ds_grid_get_disk_mean", 4},
    {"ds_grid_value_exists", 6},
    {"ds_grid_value_x", 6},
    {"ds_grid_value_y", 6},
    {"ds_grid_value_disk_exists", 5},
    {"ds_grid_value_disk_x", 5},
    {"ds_grid_value_disk_y", 5},
    {"ds_grid_shuffle", 1},
    {"ds_grid_write", 1},
    {"ds_grid_read", 2},
    {"ds_grid_sort", 3},
};

// A new family joins here and in ds_builtins.h.
const BuiltinFamily kFamilies[] = {
    DS_StoreBuiltins,
    DS_StackBuiltins,
    DS_QueueBuiltins,
    DS_ListBuiltins,
    DS_MapBuiltins,
    DS_PriorityBuiltins,
    DS_GridBuiltins,
};

TW_BUILTIN(ds_set_precision) { DS_SetPrecision(Arg(argc, args, 0)); }

TW_BUILTIN(ds_exists) {
  int32_t type = RoundedArg(argc, args, 1);
  bool exists = type >= eDS_Map && type <= eDS_Priority && DS_Get(DSKind(type), RoundedArg(argc, args, 0)) != nullptr;
  Return(result, exists ? 1 : 0);
}

const NamedBuiltin kStoreBuiltins[] = {
    {"ds_set_precision", ds_set_precision},
    {"ds_exists", ds_exists},
};

}  // namespace

std::span<const NamedBuiltin> DS_StoreBuiltins() { return kStoreBuiltins; }

BuiltinGroup DS_Group() { return {kDSGroup, kFamilies}; }

void InitDSFunctions() { BuiltinGroup_Register(DS_Group()); }
