// The file-system built-ins: existence, deletion, renaming, copying,
// directories, search, attributes, pieces of file names, other programs, the
// command line and the environment. Names go through the save sandbox
// (looked for in the save area, then the game's own directory; changed in the
// save area only), except the pieces of names, which only cut text, and the
// programs, which are started as named.

#include <cstdlib>
#include <string>
#include <vector>

#include "core/run_state.h"
#include "files/file_group.h"
#include "files/files.h"
#include "files/script_output.h"
#include "platform/files.h"
#include "platform/process.h"
#include "script/builtin_args.h"

namespace {

// File attribute bits as scripts know them.
constexpr int kReadOnly = 0x01;
constexpr int kHidden = 0x02;
constexpr int kDirectory = 0x10;
constexpr int kArchive = 0x20;
constexpr int kAttributeMask = 0x37;

std::vector<std::string> g_programArguments;

struct Search {
  bool active = false;
  size_t index = 0;
  std::vector<std::string> names;
};
Search g_search;


// A directory's name without the separators it may end in.
std::string DirectoryName(std::string name) {
  while (name.size() > 1 && (name.back() == '/' || name.back() == '\\')) name.pop_back();
  return name;
}

// Read-only when its owner may not write it, hidden when its name starts
// with a dot; plain files count as changed since the last backup.
int AttributesOf(const std::string& name, const FileInfo& info) {
  int bits = 0;
  if (!info.ownerWritable) bits |= kReadOnly;
  if (!name.empty() && name[0] == '.') bits |= kHidden;
  if (info.directory) bits |= kDirectory;
  if (info.regular) bits |= kArchive;
  return bits;
}

TW_BUILTIN(file_exists) {
  const std::string name = TextArg(argc, args, 0);
  Return(result, LoadSave_SaveFileExists(name) || LoadSave_BundleFileExists(name) ? 1 : 0);
}

TW_BUILTIN(file_delete) {
  const std::string name = TextArg(argc, args, 0);
  Return(result, LoadSave_SaveFileExists(name) && File_Remove(LoadSave_MapToSaveArea(name)) ? 1 : 0);
}

TW_BUILTIN(file_rename) {
  const std::string from = TextArg(argc, args, 0);
  Return(result, 0);
  if (!LoadSave_SaveFileExists(from)) return;
  const std::string to = LoadSave_MapToSaveArea(TextArg(argc, args, 1));
  // An existing file of the new name is never lost.
  if (!to.empty() && File_RenameNoReplace(LoadSave_MapToSaveArea(from), to)) Return(result, 1);
}

TW_BUILTIN(file_copy) {
  const std::string source = TextArg(argc, args, 0);
  const std::string destination = TextArg(argc, args, 1);
  Return(result, -1);
  std::string from;
  if (LoadSave_SaveFileExists(source)) from = LoadSave_MapToSaveArea(source);
  else if (LoadSave_BundleFileExists(source)) from = LoadSave_MapToBundle(source);
  auto bytes = from.empty() ? std::nullopt : LoadSave_ReadWholeFile(from);
  if (!bytes) return Files_Say("Unable to open source file %s\n", source.c_str());
  // No directories are made for the copy, except the save area itself on a
  // game's first run.
  const std::string to = LoadSave_MapToSaveArea(destination);
  const std::string toDirectory = File_GetDirectory(to);
  if (!to.empty() && toDirectory + "/" == LoadSave_GetSaveArea()) File_MakeDirectories(toDirectory);
  if (to.empty() || (!toDirectory.empty() && !Directory_Exists(toDirectory)) ||
      !File_WriteAtomic(to, bytes->data(), bytes->size())) {
    return Files_Say("Unable to open destination file %s\n", destination.c_str());
  }
  Return(result, 0);
}

TW_BUILTIN(directory_exists) {
  const std::string name = DirectoryName(TextArg(argc, args, 0));
  Return(result, Directory_Exists(LoadSave_MapToSaveArea(name)) || Directory_Exists(LoadSave_MapToBundle(name)) ? 1 : 0);
}

TW_BUILTIN(directory_create) {
  const std::string path = LoadSave_MapToSaveArea(DirectoryName(TextArg(argc, args, 0)));
  if (!path.empty()) File_CreateDirectoryTree(path);
}

// A search mask as a shell pattern: '*' and '?' as they are, "*.*" for every
// name, everything else literal.
std::string MaskPattern(const std::string& mask) {
  if (mask == "*.*") return "*";
  std::string pattern;
  for (char c : mask) {
    if (c == '[' || c == ']') pattern += '\\';
    pattern += c;
  }
  return pattern;
}

void FindAll(const std::string& path, int attributes) {
  if (path.empty()) return;
  const size_t slash = path.find_last_of('/');
  const std::string directory = path.substr(0, slash);
  for (const MatchedEntry& e : Directory_Match(directory, MaskPattern(path.substr(slash + 1)), true)) {
    if (e.info.directory) {
      if (!(attributes & kDirectory)) continue;
    } else if ((attributes & ~kDirectory) != 0 && (AttributesOf(e.name, e.info) & kAttributeMask & attributes) == 0) {
      continue;
    }
    bool known = false;
    for (const std::string& n : g_search.names) known = known || n == e.name;
    if (!known) g_search.names.push_back(e.name);
  }
}

TW_BUILTIN(file_find_first) {
  g_search = Search();
  const std::string mask = TextArg(argc, args, 0);
  const int attributes = TruncatedArg(argc, args, 1);
  FindAll(LoadSave_MapToSaveArea(mask), attributes);
  FindAll(LoadSave_MapToBundle(mask), attributes);
  g_search.active = !g_search.names.empty();
  Files_SetText(result, g_search.active ? g_search.names[0] : std::string());
}

TW_BUILTIN(file_find_next) {
  if (g_search.active) ++g_search.index;
  Files_SetText(result, g_search.active && g_search.index < g_search.names.size() ? g_search.names[g_search.index] : "");
}

TW_BUILTIN(file_find_close) { g_search = Search(); }

TW_BUILTIN(file_attributes) {
  const std::string name = TextArg(argc, args, 0);
  FileInfo info = File_Info(LoadSave_MapToSaveArea(name));
  if (!info.exists) info = File_Info(LoadSave_MapToBundle(name));
  Return(result, info.exists ? AttributesOf(File_GetName(name), info) & kAttributeMask : 0);
}

// ---- Pieces of names -----------------------------------------------------------

TW_BUILTIN(filename_name) { Files_SetText(result, File_GetName(TextArg(argc, args, 0))); }
TW_BUILTIN(filename_path) { Files_SetText(result, File_GetDirectory(TextArg(argc, args, 0))); }

TW_BUILTIN(filename_dir) {
  std::string dir = File_GetDirectory(TextArg(argc, args, 0));
  if (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
  Files_SetText(result, dir);
}

TW_BUILTIN(filename_drive) { Files_SetText(result, File_GetDrive(TextArg(argc, args, 0))); }
TW_BUILTIN(filename_ext) { Files_SetText(result, File_GetExtension(TextArg(argc, args, 0))); }

TW_BUILTIN(filename_change_ext) {
  if (!IsStringArg(argc, args, 0) || !IsStringArg(argc, args, 1)) return Files_SetText(result, "");
  Files_SetText(result, File_ChangeExtension(TextArg(argc, args, 0), TextArg(argc, args, 1)));
}

// ---- Other programs ------------------------------------------------------------

// Starts `program`; -1 (and a console line) when it cannot start.
int Execute(const std::string& program, const std::string& arguments, bool wait, bool open) {
  std::optional<int> pid = Process_Start(program, Support_SplitArguments(arguments));
  // A document or an address that is no program opens with the desktop's
  // own choice of program.
  if (!pid && open) pid = Process_Start("xdg-open", {program});
  if (!pid) {
    Files_Say("Cannot execute %s\n", program.c_str());
    return -1;
  }
  if (!wait) {
    Process_Detach(*pid);
    return 0;
  }
  // No frames run meanwhile, but the window keeps answering.
  while (!Process_Wait(*pid, 50000)) Run_PumpMessages();
  return 0;
}

TW_BUILTIN(execute_program) {
  Return(result, Execute(TextArg(argc, args, 0), TextArg(argc, args, 1), HalfFlagArg(argc, args, 2), false));
}

TW_BUILTIN(execute_shell) { Return(result, Execute(TextArg(argc, args, 0), TextArg(argc, args, 1), false, true)); }

// ---- The command line and the environment ------------------------------------

TW_BUILTIN(parameter_count) { Return(result, double(g_programArguments.size())); }

TW_BUILTIN(parameter_string) {
  const int index = RoundedArg(argc, args, 0);
  const bool inside = index >= 0 && size_t(index) < g_programArguments.size();
  Files_SetText(result, inside ? g_programArguments[size_t(index)] : std::string());
}

TW_BUILTIN(environment_get_variable) {
  const char* value = std::getenv(TextArg(argc, args, 0));
  Files_SetText(result, value ? value : "");
}

const NamedBuiltin kSystemBuiltins[] = {
    {"file_exists", file_exists},
    {"file_delete", file_delete},
    {"file_rename", file_rename},
    {"file_copy", file_copy},
    {"directory_exists", directory_exists},
    {"directory_create", directory_create},
    {"file_find_first", file_find_first},
    {"file_find_next", file_find_next},
    {"file_find_close", file_find_close},
    {"file_attributes", file_attributes},
    {"filename_name", filename_name},
    {"filename_path", filename_path},
    {"filename_dir", filename_dir},
    {"filename_drive", filename_drive},
    {"filename_ext", filename_ext},
    {"filename_change_ext", filename_change_ext},
    {"execute_program", execute_program},
    {"execute_shell", execute_shell},
    {"parameter_count", parameter_count},
    {"parameter_string", parameter_string},
    {"environment_get_variable", environment_get_variable},
};

}  // namespace

std::span<const NamedBuiltin> Files_SystemBuiltins() { return kSystemBuiltins; }

void Files_SetProgramArguments(std::vector<std::string> arguments) { g_programArguments = std::move(arguments); }

std::vector<std::string> Support_SplitArguments(const std::string& text) {
  std::vector<std::string> out;
  std::string current;
  bool inWord = false, quoted = false;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\\') {
      size_t n = 0;
      while (i < text.size() && text[i] == '\\') ++n, ++i;
      if (i < text.size() && text[i] == '"') {
        // Backslashes before a quote: each pair is one backslash, and an odd
        // one makes the quote a character.
        current.append(n / 2, '\\');
        if (n % 2) current += '"', ++i;
      } else {
        current.append(n, '\\');
      }
      inWord = true;
      continue;
    }
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inWord) out.push_back(current);
      current.clear();
      inWord = false;
    } else {
      current += c;
      inWord = true;
    }
    ++i;
  }
  if (inWord) out.push_back(current);
  return out;
}
