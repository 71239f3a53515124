#include "scripts.h"

namespace twpack {

void WriteScripts(ChunkBuilder& c, const std::vector<std::optional<Script>>& scripts, const CodeResolver& resolve) {
  const std::vector<Label> slots = Slots(c, scripts);
  for (size_t i = 0; i < scripts.size(); ++i) {
    if (!scripts[i]) continue;
    const Script& s = *scripts[i];
    c.Bind(slots[i]);
    c.StringRef(s.name);
    if (s.text) {
      c.StringRef(*s.text);
    } else if (!s.code.name.empty()) {
      if (!resolve) throw PackError("code '" + s.code.name + "' named, but no code records to look it up in");
      c.S32(resolve(s.code.name));
    } else {
      c.S32(s.code.index);
    }
  }
}

}  // namespace twpack
