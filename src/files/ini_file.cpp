#include "files/ini_file.h"

#include <climits>
#include <cstdlib>

#include "files/files.h"
#include "script/console.h"

namespace {

// What the scanner passes over between items: blanks, line ends and the
// comment marks (a comment runs to the end of its line).
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '#' || c == ';'; }
bool IsSpace(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimTrailingSpaces(std::string_view s) {
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

class Scanner {
 public:
  explicit Scanner(std::string_view text) : t_(text) {
    if (t_.size() > 2 && t_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
  }

  bool AtEnd() const { return pos_ >= t_.size(); }
  bool AtSectionStart() const { return !AtEnd() && t_[pos_] == '['; }

  // Only the first header may have text before it; that text is dropped.
  bool ReadSection(std::string* name) {
    SkipBlanks();
    if (!AtSectionStart()) {
      size_t open = t_.find('[', pos_);
      if (open == std::string_view::npos) {
        pos_ = t_.size();
        return false;
      }
      pos_ = open;
    }
    size_t close = t_.find(']', pos_ + 1);
    if (close == std::string_view::npos) return false;
    *name = std::string(t_.substr(pos_ + 1, close - pos_ - 1));
    pos_ = close + 1;
    return true;
  }

  // False at a section header, at the end, or for a line that holds no key
  // (its text is passed over).
  bool ReadKey(IniKey* key) {
    SkipBlanks();
    if (AtEnd() || AtSectionStart()) return false;
    const size_t start = pos_;
    const size_t eq = t_.find('=', start);
    if (eq == std::string_view::npos) {
      pos_ = t_.size();
      return false;
    }
    // A line without '=' runs on into the next key's name, as it always has.
    size_t nameEnd = eq;
    while (nameEnd > start && IsBlank(t_[nameEnd - 1])) --nameEnd;
    pos_ = eq + 1;
    const int line = line_;
    SkipBlanks();
    if (line_ != line) return false;  // "k=" at a line end, or "k=;comment"
    key->name = std::string(t_.substr(start, nameEnd - start));
    key->value = std::string(ReadValue());
    return true;
  }

 private:
  void SkipBlanks() {
    while (!AtEnd() && IsBlank(t_[pos_])) {
      const char c = t_[pos_];
      if (c == '#' || c == ';') {
        pos_ = LineEnd(pos_);
        if (!AtEnd()) pos_ += (t_[pos_] == '\r' && pos_ + 1 < t_.size() && t_[pos_ + 1] == '\n') ? 2 : 1;
        ++line_;
        continue;
      }
      if (c == '\n') ++line_;
      ++pos_;
    }
  }

  size_t LineEnd(size_t from) const {
    size_t end = t_.find_first_of("\r\n", from);
    return end == std::string_view::npos ? t_.size() : end;
  }

  std::string_view ReadValue() {
    if (AtEnd()) return {};
    const char quote = t_[pos_];
    if (quote != '"' && quote != '\'') {
      size_t end = t_.find_first_of("\r\n#;", pos_);
      if (end == std::string_view::npos) end = t_.size();
      std::string_view value = TrimTrailingSpaces(t_.substr(pos_, end - pos_));
      pos_ = end;
      return value;
    }
    const size_t open = pos_ + 1;
    const size_t lineEnd = LineEnd(open);
    const std::string_view line = t_.substr(open, lineEnd - open);
    pos_ = lineEnd;  // the rest of the line after the closing quote is ignored
    // The closing quote is the last one on the line when only blanks follow
    // it, so a quoted value may hold its own quote character; otherwise the
    // first one after the opening quote.
    size_t close = line.rfind(quote);
    if (close == std::string_view::npos) return TrimTrailingSpaces(line);  // never closed
    if (line.find_first_not_of(" \t", close + 1) != std::string_view::npos) close = line.find(quote);
    return line.substr(0, close);  // blanks inside the quotes stay
  }

  std::string_view t_;
  size_t pos_ = 0;
  int line_ = 0;
};

bool NeedsQuotes(std::string_view v) {
  if (v.empty() || IsBlank(v.front()) || v.front() == '"' || v.front() == '\'' || IsSpace(v.back())) return true;
  return v.find_first_of("#;\r\n") != std::string_view::npos;
}

void AppendValue(std::string* out, std::string_view v) {
  if (!NeedsQuotes(v)) {
    *out += v;
    return;
  }
  // A value holding both quote characters is closed by its line's last quote.
  const char quote = v.find('"') == std::string_view::npos || v.find('\'') != std::string_view::npos ? '"' : '\'';
  *out += quote;
  *out += v;
  *out += quote;
}

}  // namespace

IniFile::IniFile(const std::string& name, bool logContents) : name_(name) {
  Read(LoadSave_ReadGameFile(name), logContents);
}

IniFile IniFile::FromFile(const std::string& path, bool logContents) {
  IniFile ini;
  ini.name_ = path;
  ini.Read(LoadSave_ReadWholeFile(path), logContents);
  return ini;
}

void IniFile::Read(const std::optional<std::vector<uint8_t>>& bytes, bool logContents) {
  if (!bytes) return;
  const std::string text(bytes->begin(), bytes->end());
  if (logContents && g_OutputConsole) g_OutputConsole->Output("%s file contents: %s\n", name_.c_str(), text.c_str());
  Parse(text);
}

void IniFile::OpenFromString(std::string_view text) {
  sections_.clear();
  Parse(text);
}

IniFile IniFile::FromText(std::string_view text) {
  IniFile ini;
  ini.OpenFromString(text);
  return ini;
}

void IniFile::Parse(std::string_view text) {
  loaded_ = true;
  Scanner scan(text);
  IniSection section;
  if (!scan.ReadSection(&section.name)) return;  // keys before the first header are dropped
  sections_.push_back(std::move(section));
  while (!scan.AtEnd()) {
    IniKey key;
    if (scan.ReadKey(&key)) {
      sections_.back().keys.push_back(std::move(key));
    } else if (scan.AtSectionStart()) {
      IniSection next;
      if (!scan.ReadSection(&next.name)) break;  // a header without its ']'
      sections_.push_back(std::move(next));
    }
  }
}

const IniSection* IniFile::FindSection(std::string_view section) const {
  for (auto it = sections_.rbegin(); it != sections_.rend(); ++it)
    if (it->name == section) return &*it;
  return nullptr;
}

IniSection* IniFile::FindSectionMutable(std::string_view section) {
  return const_cast<IniSection*>(FindSection(section));
}

const IniKey* IniFile::FindKey(std::string_view section, std::string_view key) const {
  const IniSection* s = FindSection(section);
  if (!s) return nullptr;
  for (auto it = s->keys.rbegin(); it != s->keys.rend(); ++it)
    if (it->name == key) return &*it;
  return nullptr;
}

std::string_view IniFile::ReadString(std::string_view section, std::string_view key,
                                     std::string_view fallback) const {
  const IniKey* k = FindKey(section, key);
  return k ? std::string_view(k->value) : fallback;
}

int IniFile::ReadInt(std::string_view section, std::string_view key, int fallback) const {
  const IniKey* k = FindKey(section, key);
  if (!k) return fallback;
  const long v = std::strtol(k->value.c_str(), nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return int(v);
}

bool IniFile::CanStoreSection(std::string_view section) { return section.find(']') == std::string_view::npos; }

bool IniFile::CanStoreKey(std::string_view key) {
  if (key.find('=') != std::string_view::npos) return false;
  if (key.empty()) return true;  // "=value" reads as the empty key
  return !IsBlank(key.front()) && key.front() != '[' && !IsBlank(key.back());
}

bool IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value,
                          std::string* saveError) {
  modified_ = true;
  if (section == "SYSTEM_COMMAND") {
    if (key == "INI_FILE_FLUSH" && value == "NOW") return Save(saveError);
    return true;
  }
  if (!CanStoreSection(section) || !CanStoreKey(key)) return false;
  std::string line(value);
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  if (const IniKey* found = FindKey(section, key)) {
    const_cast<IniKey*>(found)->value = std::move(line);
    return true;
  }
  IniSection* s = FindSectionMutable(section);
  if (!s) {
    sections_.push_back({std::string(section), {}});
    s = &sections_.back();
  }
  s->keys.push_back({std::string(key), std::move(line)});
  return true;
}

bool IniFile::DeleteKey(std::string_view section, std::string_view key) {
  IniSection* s = FindSectionMutable(section);
  if (!s) return false;
  for (auto it = s->keys.rbegin(); it != s->keys.rend(); ++it) {
    if (it->name == key) {
      s->keys.erase(std::next(it).base());
      modified_ = true;
      return true;
    }
  }
  return false;
}

bool IniFile::DeleteSection(std::string_view section) {
  for (auto it = sections_.rbegin(); it != sections_.rend(); ++it) {
    if (it->name == section) {
      sections_.erase(std::next(it).base());
      modified_ = true;
      return true;
    }
  }
  return false;
}

std::string IniFile::Text() const {
  std::string out;
  for (const IniSection& s : sections_) {
    out += '[';
    out += s.name;
    out += "]\r\n";
    for (const IniKey& k : s.keys) {
      out += k.name;
      out += '=';
      AppendValue(&out, k.value);
      out += "\r\n";
    }
  }
  return out;
}

bool IniFile::Save(std::string* error) {
  if (!modified_ || name_.empty()) return true;
  const std::string text = Text();
  if (!LoadSave_WriteFile(name_, text.data(), text.size(), error)) return false;
  modified_ = false;
  return true;
}
