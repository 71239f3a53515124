// The INI built-ins: scripts reach one open INI file at a time.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "files/file_group.h"
#include "files/ini_file.h"
#include "script/builtin_args.h"
#include "script/errors.h"

namespace {

std::unique_ptr<IniFile> g_ini;

void Report(const std::string& message) { Error_ReportRuntime(ErrorSeverity::kError, message.c_str()); }

void ReportSaveFailure(const IniFile& ini, const std::string& why) {
  Report("Cannot save the INI file " + ini.Name() + ": " + why);
}

// Saves the open INI when it changed, reporting a failed write.
std::string SaveOpen() {
  std::string why;
  if (!g_ini->Save(&why)) ReportSaveFailure(*g_ini, why);
  return g_ini->Text();
}

void Replace(std::unique_ptr<IniFile> next) {
  if (g_ini) SaveOpen();
  g_ini = std::move(next);
}

void Write(const char* section, const char* key, const std::string& value) {
  std::string why;
  if (g_ini->WriteString(section, key, value, &why)) return;
  if (std::string_view(section) == "SYSTEM_COMMAND") {
    ReportSaveFailure(*g_ini, why);
  } else {
    Report(std::string("Cannot keep the key \"") + key + "\" of the section \"" + section + "\" in an INI file");
  }
}

// "%f" when that reads back as the same number, as most values do; else the
// shortest text that does, so small and precise values are not lost.
std::string RealText(double v) {
  char text[64];
  if (std::isfinite(v) && std::fabs(v) < 1e15) {
    std::snprintf(text, sizeof text, "%f", v);
    if (std::strtod(text, nullptr) == v) return text;
  }
  auto done = std::to_chars(text, text + sizeof text, v);
  return std::string(text, done.ptr);
}

bool NeedOpen(const char* message) {
  if (g_ini) return true;
  Report(message);
  return false;
}

constexpr char kUndefinedRead[] = "Trying to read from undefined INI file";
constexpr char kUndefinedChange[] = "Trying to change undefined INI file";

TW_BUILTIN(ini_open) {
  if (argc != 1 || !IsStringArg(argc, args, 0)) {
    Error_ReportRuntime(ErrorSeverity::kFatal, "invalid parameter");
    return;
  }
  Replace(std::make_unique<IniFile>(args[0].Text()));
}

TW_BUILTIN(ini_open_from_string) {
  auto ini = std::make_unique<IniFile>();
  ini->OpenFromString(TextArg(argc, args, 0));
  Replace(std::move(ini));
}

TW_BUILTIN(ini_close) {
  std::string text;
  if (g_ini) text = SaveOpen();
  g_ini.reset();
  ScriptValue_SetText(result, text.c_str());
}

TW_BUILTIN(ini_read_string) {
  if (!NeedOpen(kUndefinedRead)) return;
  if (!IsStringArg(argc, args, 0) || !IsStringArg(argc, args, 1) || !IsStringArg(argc, args, 2)) {
    Report("ini_read_string wrong type of arguments");
    return;
  }
  const std::string value(g_ini->ReadString(args[0].Text(), args[1].Text(), args[2].Text()));
  ScriptValue_SetText(result, value.c_str());
}

TW_BUILTIN(ini_read_real) {
  if (!IsStringArg(argc, args, 0) || !IsStringArg(argc, args, 1) || !IsRealArg(argc, args, 2)) {
    Report("ini_read_real wrong type of arguments");
    return;
  }
  const double fallback = args[2].Real();
  if (!NeedOpen(kUndefinedRead)) {
    Return(result, fallback);
    return;
  }
  const IniKey* key = g_ini->FindKey(args[0].Text(), args[1].Text());
  Return(result, key ? std::strtod(key->value.c_str(), nullptr) : fallback);
}

TW_BUILTIN(ini_write_string) {
  if (!NeedOpen(kUndefinedRead)) return;
  if (!IsStringArg(argc, args, 0) || !IsStringArg(argc, args, 1) || !IsStringArg(argc, args, 2)) {
    Report("Wrong argument types for ini_write_string");
    return;
  }
  Write(args[0].Text(), args[1].Text(), args[2].Text());
}

TW_BUILTIN(ini_write_real) {
  if (!NeedOpen(kUndefinedRead)) return;
  if (!IsStringArg(argc, args, 0) || !IsStringArg(argc, args, 1) || !IsRealArg(argc, args, 2)) {
    Report("Wrong argument types for ini_write_real");
    return;
  }
  Write(args[0].Text(), args[1].Text(), RealText(args[2].Real()));
}

TW_BUILTIN(ini_key_exists) {
  if (!NeedOpen(kUndefinedRead)) return;
  Return(result, g_ini->FindKey(TextArg(argc, args, 0), TextArg(argc, args, 1)) ? 1 : 0);
}

TW_BUILTIN(ini_section_exists) {
  if (!NeedOpen(kUndefinedRead)) return;
  Return(result, g_ini->FindSection(TextArg(argc, args, 0)) ? 1 : 0);
}

TW_BUILTIN(ini_key_delete) {
  if (!NeedOpen(kUndefinedChange)) return;
  g_ini->DeleteKey(TextArg(argc, args, 0), TextArg(argc, args, 1));
}

TW_BUILTIN(ini_section_delete) {
  if (!NeedOpen(kUndefinedChange)) return;
  g_ini->DeleteSection(TextArg(argc, args, 0));
}

const NamedBuiltin kIniBuiltins[] = {
    {"ini_open_from_string", ini_open_from_string},
    {"ini_open", ini_open},
    {"ini_close", ini_close},
    {"ini_read_string", ini_read_string},
    {"ini_read_real", ini_read_real},
    {"ini_write_string", ini_write_string},
    {"ini_write_real", ini_write_real},
    {"ini_key_exists", ini_key_exists},
    {"ini_section_exists", ini_section_exists},
    {"ini_key_delete", ini_key_delete},
    {"ini_section_delete", ini_section_delete},
};

}  // namespace

std::span<const NamedBuiltin> Files_IniBuiltins() { return kIniBuiltins; }

void Files_DiscardOpenIni() { g_ini.reset(); }
