// The script chunk (SCPT) for containers: a counted list of record offsets
// (0 for an absent script), then the records {name, code}. The second word
// is a CODE index in games whose code is compiled, or a string reference to
// the script's source text otherwise.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "pack.h"
#include "resources.h"

namespace twpack {

struct Script {
  std::string name;
  CodeRef code;                     // used when `text` is not set
  std::optional<std::string> text;  // source text in place of a code entry
};

// Writes the body of an (empty) SCPT chunk; code names are looked up with
// `resolve`.
void WriteScripts(ChunkBuilder& c, const std::vector<std::optional<Script>>& scripts,
                  const CodeResolver& resolve = {});

}  // namespace twpack
