#include "script/builtin_vars.h"

namespace {
std::string g_workingDirectory;
}

void BuiltinVar_RegisterAll() {}
void WorkingDirectory_Init(const std::string& gamePath) {
  if (!g_workingDirectory.empty()) return;
  size_t slash = gamePath.find_last_of('/');
  g_workingDirectory = slash == std::string::npos ? std::string("./") : gamePath.substr(0, slash + 1);
}
const std::string& WorkingDirectory_Get() { return g_workingDirectory; }
