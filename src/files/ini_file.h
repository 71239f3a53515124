// INI text: "[section]" lines and "key=value" lines; ';' or '#' starts a
// comment line. Keys and sections compare without regard to letter case.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <string_view>

class IniFile {
 public:
  IniFile() = default;
  // Reads `path`; a missing or unreadable file gives an empty INI.
  explicit IniFile(const std::string& path);
  static IniFile FromText(std::string_view text);

  bool Loaded() const { return loaded_; }
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  // The value read as an integer (leading digits, like atoi); nothing when absent.
  std::optional<long> GetInt(std::string_view section, std::string_view key) const;

 private:
  void Parse(std::string_view text);
  static std::string Fold(std::string_view s);
  std::map<std::string, std::map<std::string, std::string>> sections_;
  bool loaded_ = false;
};
