// Containers of code for the machine's tests: the code, string, variable,
// script and function chunks loaded as the chunk walk loads them.
#pragma once
#include <cstring>
#include <memory>
#include <string>

#include "core/code_chunks.h"
#include "core/game_data.h"
#include "pack.h"
#include "script/scripts.h"

namespace fixture {

// The container built from the description with its code chunks loaded;
// null, with the reason in *error, when a chunk was refused.
inline std::unique_ptr<GameDataFile> LoadCode(const std::string& description, std::string* error) {
  try {
    auto file = std::make_unique<GameDataFile>(twpack::BuildFromDescription(description));
    for (int pass = 0; pass < 2; ++pass) {
      for (const ChunkRef& c : file->Chunks()) {
        if (c.length == 0) continue;
        ChunkBody body(*file, c);
        if (pass == 0 && !std::memcmp(c.tag, "CODE", 4)) Code_Load(body);
        if (pass == 0 && !std::memcmp(c.tag, "STRG", 4)) Strings_Load(body);
        if (pass == 0 && !std::memcmp(c.tag, "VARI", 4)) VARI_Load(body);
        if (pass == 1 && !std::memcmp(c.tag, "CODE", 4)) Code_PatchAllStrings(body);
        if (pass == 1 && !std::memcmp(c.tag, "SCPT", 4)) Script_Load(body);
        if (pass == 1 && !std::memcmp(c.tag, "FUNC", 4)) FUNC_Load(body);
      }
    }
    return file;
  } catch (const DataError& e) {
    *error = e.what();
    return nullptr;
  }
}

}  // namespace fixture
