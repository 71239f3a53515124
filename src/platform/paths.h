// Where the program and its data live.
#pragma once
#include <optional>
#include <string>

// Full path of the running executable (symbolic links resolved).
const std::string& Path_Executable();
// Directory of the executable, ending in '/'.
std::string Path_ExecutableDirectory();
// The process's working directory (no trailing '/').
std::string Path_WorkingDirectory();
// $XDG_DATA_HOME, else ~/.local/share (stands in for the local application data).
std::string Path_DataHome();
// $XDG_CONFIG_HOME, else ~/.config (stands in for the roaming application data).
std::string Path_ConfigHome();
// Directory part of `path` up to and including its last '/' ("" when none).
std::string Path_DirectoryOf(const std::string& path);
// `path` made absolute against the working directory.
std::string Path_Absolute(const std::string& path);
// `name` with every character that could leave a directory ('/', '\\', control
// characters) replaced by '_'; "", "." and ".." become "_".
std::string Path_SafeComponent(const std::string& name);
// `path` with every link, "." and ".." resolved; nothing when some part of
// it does not exist.
std::optional<std::string> Path_Resolve(const std::string& path);
