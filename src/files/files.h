// Files and platform services, as far as start-up and shutdown need them.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The open-file dialog for choosing a game; nothing when cancelled or when no
// dialog can be shown. TARNWICKE_CHOOSE_FILE answers it in tests.
std::optional<std::string> LoadSave_ChooseGameFile();
// The whole file from the game's own files; nothing when missing.
std::optional<std::vector<uint8_t>> LoadSave_ReadBundleFile(const std::string& path, std::string* error = nullptr);
bool LoadSave_BundleFileExists(const std::string& path);

// The game's save area, ending in '/'; created on first use.
const std::string& Main_GetSaveDirectory();
// The save area, ending in '/': Main_GetSaveDirectory() unless another was
// set (tests set their own; an empty directory goes back to the game's).
void LoadSave_SetSaveArea(const std::string& directory);
std::string LoadSave_GetSaveArea();
// The path under which a script's file name is written: a relative name,
// or a full one under the game's or the process's working directory, is
// redirected into the save area (with a log line); a full name already in the
// save area stays. Anything else, and any name that would climb out ("..")
// or pass through a symbolic link, gives "". '\' counts as '/'.
std::string LoadSave_MapToSaveArea(const std::string& name);
// The path under which a script's file name is read from the game's own
// directory (the data file's): a relative name, or a full one under that
// directory; "" for anything else or a name that would climb out or pass
// through a symbolic link.
std::string LoadSave_MapToBundle(const std::string& name);
// A file a script names, whole: from the save area when it is there, else
// from the game's own directory; nothing when it is in neither (`refused`
// tells whether neither place would take the name at all).
std::optional<std::vector<uint8_t>> LoadSave_ReadGameFile(const std::string& name, bool* refused = nullptr);
// Writes a whole file a script names into the save area (making its
// directories), replacing any old one only once the new one is complete.
// False with `error` saying why when the name is refused or the write fails.
bool LoadSave_WriteFile(const std::string& name, const void* data, size_t length, std::string* error = nullptr);
// The same into `out` (at most `capacity` bytes with the NUL); false, and
// an empty `out`, when refused or too long.
bool LoadSave_MapToSaveArea(char* out, size_t capacity, const char* name);
// Creates every missing directory of `path` up to its last '/'; true when
// they all exist after.
bool File_CreateDirectoryFor(const std::string& path);

// A message box captioned with the game's caption.
void Support_SetCaption(const std::string& caption);
void Support_MessageBox(const std::string& text);

// The game's own temporary directory, made at start-up and removed at exit.
void Support_CreateTempDirectory();
void Support_DeleteTempDirectory();
std::string Support_GetTempDirectory();

// The high-score table (high_score.h): emptied at start-up, read from and
// written to "hiscore.dat" in the save area.
void HighScore_Init();
void HighScore_Load();
void HighScore_Save();

void File_CloseAllBinary();
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
