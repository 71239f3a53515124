#include "files/file_group.h"

#include "files/files.h"

namespace {

const BuiltinGroupName kFileGroup[] = {
    {"file_bin_open", 2},
    {"file_bin_rewrite", 1},
    {"file_bin_close", 1},
    {"file_bin_position", 1},
    {"file_bin_size", 1},
    {"file_bin_seek", 2},
    {"file_bin_read_byte", 1},
    {"file_bin_write_byte", 2},
    {"file_text_open_from_string", 1},
    {"file_text_open_read", 1},
    {"file_text_open_write", 1},
    {"file_text_open_append", 1},
    {"file_text_close", 1},
    {"file_text_read_string", 1},
    {"file_text_read_real", 1},
    {"file_text_readln", 1},
    {"file_text_eof", 1},
    {"file_text_eoln", 1},
    {"file_text_write_string", 2},
    {"file_text_write_real", 2},
    {"file_text_writeln", 1},
    {"file_open_read", 1},
    {"file_open_write", 1},
    {"file_open_append", 1},
    {"file_close", 0},
    {"file_read_string", 0},
    {"file_read_real", 0},
    {"file_readln", 0},
    {"file_eof", 0},
    {"file_write_string", 1},
    {"file_write_real", 1},
    {"file_writeln", 0},
    {"file_exists", 1},
    {"file_delete", 1},
    {"file_rename", 2},
    {"file_copy", 2},
    {"directory_exists", 1},
    {"directory_create", 1},
    {"file_find_first", 2},
    {"file_find_next", 0},
    {"file_find_close", 0},
    {"file_attributes", 2},
    {"filename_name", 1},
    {"filename_path", 1},
    {"filename_dir", 1},
    {"filename_drive", 1},
    {"filename_ext", 1},
    {"filename_change_ext", 2},
    {"execute_program", 3},
    {"execute_shell", 2},
    {"parameter_count", 0},
    {"parameter_string", 1},
    {"environment_get_variable", 1},
    {"registry_write_string", 2},
    {"registry_write_real", 2},
    {"registry_read_string", 1},
    {"registry_read_real", 1},
    {"registry_exists", 1},
    {"registry_write_string_ext", 3},
    {"registry_write_real_ext", 3},
    {"registry_read_string_ext", 2},
    {"registry_read_real_ext", 2},
    {"registry_exists_ext", 2},
    {"registry_set_root", 1},
    {"ini_open_from_string", 1},
    {"ini_open", 1},
    {"ini_close", 0},
    {"ini_read_string", 3},
    {"ini_read_real", 3},
    {"ini_write_string", 3},
    {"ini_write_real", 3},
    {"ini_key_exists", 2},
    {"ini_section_exists", 1},
    {"ini_key_delete", 2},
    {"ini_section_delete", 1},
    {"http_post_string", 2},
    {"http_get", 1},
    {"http_request", 4},
    {"json_encode", 1},
    {"json_decode", 1},
};

// A new family joins here and in file_group.h (the span below then covers
// the whole array).
const BuiltinFamily kFamilies[] = {
    Files_IniBuiltins,
    Files_HandleBuiltins,
    Files_SystemBuiltins,
    Files_RegistryBuiltins,
};

}  // namespace

BuiltinGroup Files_FileGroup() { return {kFileGroup, kFamilies}; }

void InitFileFunctions() {
  File_ClearTables();
  BuiltinGroup_Register(Files_FileGroup());
}
