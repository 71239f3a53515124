// The registry store: a small key-value store for scripts, keys compared
// without regard to letter case, every value held as text. It lives in
// memory and is kept in a file of the save area, read at its first use and
// written again at the end of a step that changed it and at the end of the
// run, so it outlives the run.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "files/file_group.h"
#include "files/files.h"
#include "script/builtin_args.h"

namespace {

struct RegistryKey {
  std::string name;
  std::string value;
  bool hasValue = false;
};

// In the order of first writing.
std::vector<RegistryKey> g_keys;
bool g_loaded = false;
bool g_changed = false;

constexpr char kRegistryFile[] = ".registry";

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

// One line per key: the name, a tab and the value (no tab: no value), with
// backslashes, tabs and line ends escaped.
std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Unescaped(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
  }
  return out;
}

RegistryKey* Registry_FindKey(const std::string& name) {
  for (RegistryKey& key : g_keys)
    if (SameName(key.name, name)) return &key;
  return nullptr;
}

RegistryKey* Registry_AddKey(const std::string& name) {
  g_keys.push_back(RegistryKey{name, "", false});
  return &g_keys.back();
}

std::string StorePath() { return LoadSave_GetSaveArea() + kRegistryFile; }

void Load() {
  if (g_loaded) return;
  g_loaded = true;
  g_keys.clear();
  auto bytes = LoadSave_ReadWholeFile(StorePath());
  if (!bytes) return;
  const std::string text(bytes->begin(), bytes->end());
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line.empty()) continue;
    const size_t tab = line.find('\t');
    RegistryKey key{Unescaped(line.substr(0, tab)), "", false};
    if (tab != std::string::npos) {
      key.value = Unescaped(line.substr(tab + 1));
      key.hasValue = true;
    }
    if (!Registry_FindKey(key.name)) g_keys.push_back(std::move(key));
  }
}

void Save() {
  g_changed = false;
  std::string text;
  for (const RegistryKey& key : g_keys) {
    text += Escaped(key.name);
    if (key.hasValue) text += "\t" + Escaped(key.value);
    text += "\n";
  }
  LoadSave_WritePath(StorePath(), text.data(), text.size());
}

RegistryKey* Find(const std::string& name) {
  Load();
  return Registry_FindKey(name);
}

void Write(const std::string& name, const std::string& value) {
  RegistryKey* key = Find(name);
  if (!key) key = Registry_AddKey(name);
  key->value = value;
  key->hasValue = true;
  g_changed = true;
}

TW_BUILTIN(registry_write_string) { Write(TextArg(argc, args, 0), TextArg(argc, args, 1)); }

TW_BUILTIN(registry_write_real) {
  char text[512];
  std::snprintf(text, sizeof text, "%f", Arg(argc, args, 1));
  Write(TextArg(argc, args, 0), text);
}

TW_BUILTIN(registry_read_string) {
  const RegistryKey* key = Find(TextArg(argc, args, 0));
  ScriptValue_SetText(result, key ? key->value.c_str() : "");
}

TW_BUILTIN(registry_read_real) {
  const RegistryKey* key = Find(TextArg(argc, args, 0));
  Return(result, key ? std::atof(key->value.c_str()) : 0);
}

TW_BUILTIN(registry_exists) { Return(result, Find(TextArg(argc, args, 0)) ? 1 : 0); }

// The forms with a key path and the root stand for places this store does
// not have: they keep nothing and find nothing.
TW_BUILTIN(registry_write_string_ext) {}
TW_BUILTIN(registry_write_real_ext) {}
TW_BUILTIN(registry_read_string_ext) { ScriptValue_SetText(result, ""); }
TW_BUILTIN(registry_read_real_ext) { Return(result, 0); }
TW_BUILTIN(registry_exists_ext) { Return(result, 0); }
TW_BUILTIN(registry_set_root) {}

const NamedBuiltin kRegistryBuiltins[] = {
    {"registry_write_string", registry_write_string},
    {"registry_write_real", registry_write_real},
    {"registry_read_string", registry_read_string},
    {"registry_read_real", registry_read_real},
    {"registry_exists", registry_exists},
    {"registry_write_string_ext", registry_write_string_ext},
    {"registry_write_real_ext", registry_write_real_ext},
    {"registry_read_string_ext", registry_read_string_ext},
    {"registry_read_real_ext", registry_read_real_ext},
    {"registry_exists_ext", registry_exists_ext},
    {"registry_set_root", registry_set_root},
};

}  // namespace

std::span<const NamedBuiltin> Files_RegistryBuiltins() { return kRegistryBuiltins; }

void Registry_Flush() {
  if (g_changed) Save();
}

void Registry_Forget() {
  g_keys.clear();
  g_loaded = false;
  g_changed = false;
}
