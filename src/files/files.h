// Files and platform services: the save sandbox, paths and directories, the
// file tables, and what start-up and shutdown need.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The open-file dialog for choosing a game; nothing when cancelled or when no
// dialog can be shown. TARNWICKE_CHOOSE_FILE answers it in tests.
std::optional<std::string> LoadSave_ChooseGameFile();

// ---- The save sandbox ----------------------------------------------------------
// Every file a script names is read from the game's own directory (the data
// file's, "the bundle") or its save area, and written to the save area only.
// '\\' counts as '/'; a name that would climb out (".."), pass through a
// symbolic link leading out, name a drive or hold control characters maps to
// "", whose opening fails. Names under the game's temporary directory stay
// there, and paths the player picked in a file dialog are allowed as they are.

// The game's save area, ending in '/'; created on first write.
const std::string& Main_GetSaveDirectory();
// The save area, ending in '/': Main_GetSaveDirectory() unless another was
// set (tests set their own; an empty directory goes back to the game's).
void LoadSave_SetSaveArea(const std::string& directory);
std::string LoadSave_GetSaveArea();
// For tests: the game's own directory is this one (empty: the game's again).
void LoadSave_SetBundleDirectory(const std::string& directory);
// Paths the player picked in open and save dialogs: allowed for reading, or
// for writing, for the rest of the run.
void LoadSave_AllowRead(const std::string& path);
void LoadSave_AllowWrite(const std::string& path);
// For tests: no picked paths.
void LoadSave_ForgetAllowedPaths();
// Where a name is read and written in the save area: a relative name, or a
// full one under the game's or the process's working directory, is
// redirected there (with a line on the output console); a full name already
// in the save area stays.
std::string LoadSave_MapToSaveArea(const std::string& name);
// Where a name is read from the game's own directory: a relative name, or a
// full one under that directory or the process's working directory.
std::string LoadSave_MapToBundle(const std::string& name);
// The same into `out` (at most `capacity` bytes with the NUL); false, and
// an empty `out`, when refused or too long.
bool LoadSave_MapToSaveArea(char* out, size_t capacity, const char* name);

// Whole files. A path as it stands (no mapping), with `error` set to the
// system's reason on failure; "" never opens.
std::optional<std::vector<uint8_t>> LoadSave_ReadWholeFile(const std::string& path, std::string* error = nullptr);
std::optional<std::vector<uint8_t>> LoadSave_ReadSaveFile(const std::string& name);
std::optional<std::vector<uint8_t>> LoadSave_ReadBundleFile(const std::string& name);
// From the save area when it is there, else from the game's own directory,
// without the redirection line; nothing when it is in neither (`refused`
// tells whether neither place would take the name at all).
std::optional<std::vector<uint8_t>> LoadSave_ReadGameFile(const std::string& name, bool* refused = nullptr);
// A plain file that opens for reading there.
bool LoadSave_SaveFileExists(const std::string& name);
bool LoadSave_BundleFileExists(const std::string& name);
// Writes a whole file into the save area, its directories made first. The
// bytes go to a temporary name beside it, renamed over the old file only
// once all are written: false, and the old file kept, when anything fails,
// with `error` saying why (without it, the debug console hears why).
bool LoadSave_WriteFile(const std::string& name, const void* data, size_t length, std::string* error = nullptr);
// The same for a path the sandbox has already given.
bool LoadSave_WritePath(const std::string& path, const void* data, size_t length, std::string* error = nullptr);

// ---- Paths and directories ---------------------------------------------------
// Both '\\' and '/' separate; the last of either counts.

// A plain file (not a directory or a device) is there.
bool File_Exists(const std::string& path);
bool Directory_Exists(const std::string& path);
// The text before the last separator; "" without one or when it comes first.
std::string File_GetDirectory(const std::string& path);
// The text after the last separator, or the whole path.
std::string File_GetName(const std::string& path);
// The name's extension with its dot, or "".
std::string File_GetExtension(const std::string& path);
// Always "": there are no drive letters here.
std::string File_GetDrive(const std::string& path);
// The path with its name's extension (if any) replaced by `extension`; a
// path without one gets it added, with a dot when it has none.
std::string File_ChangeExtension(const std::string& path, const std::string& extension);
// Makes the directory and its missing parents; false when a level cannot be
// made (those made stay) or the path has no parent.
bool File_CreateDirectoryTree(const std::string& path);
// Makes every missing directory of `path` up to its last separator; true when
// they all exist after (and when there is none).
bool File_CreateDirectoryFor(const std::string& path);
// Deletes a directory and everything in it; links are removed, never
// followed. False when anything is left.
bool Support_DeleteTree(const std::string& path);
std::string Support_GetCurrentDirectory();

// The game's own temporary directory (no trailing separator), made at
// start-up and removed with everything in it at exit; "" before.
void Support_CreateTempDirectory();
void Support_DeleteTempDirectory();
std::string Support_GetTempDirectory();

// A message box captioned with the game's caption.
void Support_SetCaption(const std::string& caption);
// The caption of every dialog and message box.
const std::string& Support_GetCaption();
void Support_MessageBox(const std::string& text);
// Message and drawn texts: "#" becomes a line break (a carriage return) and
// "\#" a "#". Converts in place; the number of characters of the result.
int Support_ConvertHashNewlines(std::string* text);

// The high-score table (high_score.h): emptied at start-up, read from and
// written to "hiscore.dat" in the save area.
void HighScore_Init();
void HighScore_Load();
void HighScore_Save();

// The file tables empty, without writing what waits in them (start-up).
void File_ClearTables();
// Closes every binary file, writing what waits to be written.
void File_CloseAllBinary();
// The same for the text files and the current file: what a game wrote and
// never closed still reaches the disk at the end.
void File_CloseAllText();
// The arguments the program was started with, its own path first.
void Files_SetProgramArguments(std::vector<std::string> arguments);
// Words of a command line: blanks separate, double quotes group, and a
// backslash makes a quote a character.
std::vector<std::string> Support_SplitArguments(const std::string& text);
// Writes the registry store's file when the store changed since.
void Registry_Flush();
// For tests: the registry store read again from its file at its next use,
// what was not flushed lost.
void Registry_Forget();
void Platform_Shutdown();
// Per-step platform services (achievement cache, pause event).
void Platform_Tick();
// The window lost the focus to another application.
void Platform_RaisePauseEvent();
// Whether a pause event waits for the next frame.
bool Platform_PausePending();

// Built-in groups.
void InitFileFunctions();
void InitMiscFunctions();
// Binds the files' built-in variables (temp_directory) in the table.
void Files_BindVariables();
void InitVeskFunctions();
void InitWin8Functions();
