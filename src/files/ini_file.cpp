#include "files/ini_file.h"

#include <cctype>
#include <cstdlib>

#include "platform/files.h"

namespace {
std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}
}  // namespace

IniFile::IniFile(const std::string& path) {
  if (auto bytes = File_ReadAll(path)) {
    Parse(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    loaded_ = true;
  }
}

IniFile IniFile::FromText(std::string_view text) {
  IniFile ini;
  ini.Parse(text);
  ini.loaded_ = true;
  return ini;
}

std::string IniFile::Fold(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

void IniFile::Parse(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::string section;
  while (!text.empty()) {
    size_t eol = text.find('\n');
    std::string_view line = Trim(text.substr(0, eol));
    text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      section = Fold(Trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    sections_[section][Fold(Trim(line.substr(0, eq)))] = std::string(Trim(line.substr(eq + 1)));
  }
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
  auto s = sections_.find(Fold(section));
  if (s == sections_.end()) return std::nullopt;
  auto k = s->second.find(Fold(key));
  if (k == s->second.end()) return std::nullopt;
  return k->second;
}

std::optional<long> IniFile::GetInt(std::string_view section, std::string_view key) const {
  auto v = Get(section, key);
  if (!v) return std::nullopt;
  return std::strtol(v->c_str(), nullptr, 10);
}
