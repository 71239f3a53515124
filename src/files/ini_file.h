// INI text: "[section]" headers, each followed by "key=value" lines. ';' and
// '#' start comments; a value may stand in double or single quotes. Names
// compare byte by byte, letter case included. Sections and keys keep the
// order of the text, and saving writes them back in that order, quoting the
// values that would not read back as they are.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <cstdint>
#include <vector>

struct IniKey {
  std::string name;
  std::string value;
};

struct IniSection {
  std::string name;
  std::vector<IniKey> keys;
};

class IniFile {
 public:
  // Empty and nameless: never written.
  IniFile() = default;
  // Reads a file a script names: the save area's copy when there is one,
  // else the game's own. A missing or refused file gives an empty INI. With
  // `logContents` the text goes to the output console first.
  explicit IniFile(const std::string& name, bool logContents = false);

  // Replaces the contents by what `text` holds.
  void OpenFromString(std::string_view text);
  static IniFile FromText(std::string_view text);
  // The file at `path` itself, outside the sandbox: the loader's options.ini.
  static IniFile FromFile(const std::string& path, bool logContents = false);

  // Whether any text was read (a file was found, or text was given).
  bool Loaded() const { return loaded_; }
  const std::string& Name() const { return name_; }
  bool Modified() const { return modified_; }
  const std::vector<IniSection>& Sections() const { return sections_; }

  // A name that stands more than once is found where it stands last: a later
  // section hides an earlier one of the same name, keys included.
  const IniSection* FindSection(std::string_view section) const;
  const IniKey* FindKey(std::string_view section, std::string_view key) const;
  std::string_view ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
  // The value's leading integer, as atoi reads it (saturated to int).
  int ReadInt(std::string_view section, std::string_view key, int fallback) const;

  // Stores the value (a new section or key goes at the end); a line break in
  // the value becomes a space, since a value is one line. The section
  // "SYSTEM_COMMAND" stores nothing: its key "INI_FILE_FLUSH" with the value
  // "NOW" saves at once. False when nothing was stored because a name could
  // not be saved (see CanStore*) or when that flush failed (`saveError` then
  // says why).
  bool WriteString(std::string_view section, std::string_view key, std::string_view value,
                   std::string* saveError = nullptr);
  bool DeleteKey(std::string_view section, std::string_view key);
  bool DeleteSection(std::string_view section);

  // The whole text, CR LF line ends.
  std::string Text() const;
  // Writes the text into the save area when there are unsaved changes and the
  // INI has a file name. False, with `error` set and the changes still marked
  // unsaved, when that write failed.
  bool Save(std::string* error = nullptr);

  // Names that read back as they are once saved: a section without ']'; a
  // key without '=' that neither starts with a blank, a comment mark or '['
  // nor ends with a blank or a comment mark.
  static bool CanStoreSection(std::string_view section);
  static bool CanStoreKey(std::string_view key);

 private:
  void Parse(std::string_view text);
  void Read(const std::optional<std::vector<uint8_t>>& bytes, bool logContents);
  IniSection* FindSectionMutable(std::string_view section);

  std::string name_;
  std::vector<IniSection> sections_;
  bool loaded_ = false;
  bool modified_ = false;
};
