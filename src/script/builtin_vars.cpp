#include "script/builtin_vars.h"

#include "core/console.h"

namespace {
std::string g_workingDirectory;
}

void BuiltinVar_RegisterAll() {}
void WorkingDirectory_Init(const std::string& gamePath) {
  if (!g_workingDirectory.empty()) return;
  size_t slash = gamePath.find_last_of('/');
  g_workingDirectory = slash == std::string::npos ? std::string("./") : gamePath.substr(0, slash + 1);
  std::string rule(73, '#');
  g_DebugConsole->Output("%s\n####!!!!$$$$$$ pwd - %s\n%s\n", rule.c_str(), g_workingDirectory.c_str(), rule.c_str());
}
const std::string& WorkingDirectory_Get() { return g_workingDirectory; }
