#include "audio/mci.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "audio/mp3_decode.h"
#include "files/files.h"
#include "platform/al.h"

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Words separated by blanks; a double-quoted word keeps its blanks.
std::vector<std::string> Split(std::string_view text) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i >= text.size()) break;
    std::string word;
    if (text[i] == '"') {
      const size_t close = text.find('"', i + 1);
      const size_t end = close == std::string_view::npos ? text.size() : close;
      word = std::string(text.substr(i + 1, end - i - 1));
      i = close == std::string_view::npos ? text.size() : close + 1;
    } else {
      const size_t start = i;
      while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i]))) ++i;
      word = std::string(text.substr(start, i - start));
    }
    words.push_back(std::move(word));
  }
  return words;
}

std::optional<int64_t> Number(const std::string& word) {
  int64_t value = 0;
  const char* end = word.data() + word.size();
  auto [p, ec] = std::from_chars(word.data(), end, value);
  if (ec != std::errc() || p != end) return std::nullopt;
  return value;
}

// One open music file: its whole decoded sound in one buffer, on one source.
struct MciFile {
  uint32_t buffer = 0;
  uint32_t source = 0;
  int rate = 1;
  int64_t frames = 0;  // length in sample frames
  int volume = 1000;   // 0 to 1000
  bool started = false;
  bool stopped_by_command = false;
  int64_t held = 0;  // the position (frames) while not playing or paused

  MciFile() = default;
  MciFile(const MciFile&) = delete;
  MciFile& operator=(const MciFile&) = delete;
  ~MciFile() {
    al::DeleteSource(source);
    al::DeleteBuffer(buffer);
  }

  al::SourceState State() const { return al::GetSourceState(source); }
  bool Ended() const { return started && !stopped_by_command && State() == al::SourceState::kStopped; }
  int64_t Position() const {
    const al::SourceState s = State();
    if (s == al::SourceState::kPlaying || s == al::SourceState::kPaused) return al::GetSourceSampleOffset(source);
    return Ended() ? frames : held;
  }
  int64_t Ms(int64_t f) const { return f * 1000 / rate; }
  int64_t Frames(int64_t ms) const { return ms * rate / 1000; }
  const char* Mode() const {
    switch (State()) {
      case al::SourceState::kPlaying: return "playing";
      case al::SourceState::kPaused: return "paused";
      default: return "stopped";
    }
  }
  void Stop() {
    held = Position();
    stopped_by_command = true;
    al::StopSource(source);
  }
};

std::map<std::string, std::unique_ptr<MciFile>>& Files() {
  static std::map<std::string, std::unique_ptr<MciFile>> files;
  return files;
}

// What follows the device name, with the optional trailing "wait"/"notify"
// taken off (the commands here finish at once, so both mean nothing).
struct Command {
  std::string verb;
  std::string device;
  std::vector<std::string> words;  // lower-case
  std::vector<std::string> raw;
};

uint32_t Open(const Command& c) {
  const std::string& path = c.raw.empty() ? c.device : c.raw[0];
  std::string type, alias;
  for (size_t i = 1; i < c.words.size(); ++i) {
    const std::string& w = c.words[i];
    if (w == "type" || w == "alias") {
      if (i + 1 >= c.words.size()) return kMciMissingValue;
      (w == "type" ? type : alias) = w == "type" ? c.words[i + 1] : c.raw[i + 1];
      ++i;
    } else if (w != "shareable") {
      return kMciUnknownKeyword;
    }
  }
  if (Lower(path) == "cdaudio" || type == "cdaudio") return kMciNoSuchDevice;
  if (!type.empty() && type != "mpegvideo") return kMciUnsupportedType;
  if (alias.empty()) alias = path;
  const std::string key = Lower(alias);
  if (key == "cdaudio" || key == "all" || Files().count(key)) return kMciAliasInUse;
  const std::optional<std::vector<uint8_t>> bytes = LoadSave_ReadGameFile(path);
  if (!bytes) return kMciFileNotFound;
  if (!al::DeviceOpen()) return kMciNoAudioDevice;
  DecodedMp3 pcm;
  std::string error;
  if (!Mp3_DecodeAll(*bytes, pcm, error)) return kMciCannotPlayFile;
  auto file = std::make_unique<MciFile>();
  file->rate = pcm.rate;
  file->frames = int64_t(pcm.samples.size() / (2 * size_t(pcm.channels)));
  file->buffer = al::BufferFromPcm16(pcm.channels, pcm.samples, pcm.rate, error);
  if (file->buffer == 0) return kMciNoAudioDevice;
  file->source = al::NewSource(file->buffer, error);
  if (file->source == 0) return kMciNoAudioDevice;
  Files()[key] = std::move(file);
  return kMciOk;
}

uint32_t Play(MciFile& f, const Command& c) {
  bool repeat = false;
  std::optional<int64_t> from;
  for (size_t i = 0; i < c.words.size(); ++i) {
    if (c.words[i] == "repeat") {
      repeat = true;
    } else if (c.words[i] == "from") {
      if (i + 1 >= c.words.size()) return kMciMissingValue;
      from = Number(c.words[++i]);
      if (!from || *from < 0 || f.Frames(*from) > f.frames) return kMciOutOfRange;
    } else {
      return kMciUnknownKeyword;
    }
  }
  const al::SourceState state = f.State();
  if (!from && state == al::SourceState::kPlaying) {
    al::SetSourceLooping(f.source, repeat);
    return kMciOk;
  }
  int64_t start = from ? f.Frames(*from) : state == al::SourceState::kPaused ? -1 : f.Position();
  if (start >= f.frames) start = 0;  // played to the end: again from the start
  if (start >= 0) {
    al::StopSource(f.source);
    al::SetSourceSampleOffset(f.source, start);
  }
  al::SetSourceLooping(f.source, repeat);
  f.started = true;
  f.stopped_by_command = false;
  al::PlaySource(f.source);
  if (start > 0) al::SetSourceSampleOffset(f.source, start);
  return kMciOk;
}

uint32_t Seek(MciFile& f, const Command& c) {
  if (c.words.size() != 2 || c.words[0] != "to") return c.words.empty() ? kMciMissingValue : kMciUnknownKeyword;
  int64_t to = 0;
  if (c.words[1] == "start") {
    to = 0;
  } else if (c.words[1] == "end") {
    to = f.frames;
  } else {
    const std::optional<int64_t> ms = Number(c.words[1]);
    if (!ms || *ms < 0 || f.Frames(*ms) > f.frames) return kMciOutOfRange;
    to = f.Frames(*ms);
  }
  f.Stop();
  f.held = to;
  return kMciOk;
}

uint32_t Set(MciFile&, const Command& c) {
  const std::vector<std::string>& w = c.words;
  if (w.size() >= 2 && w[0] == "time" && w[1] == "format") {
    if (w.size() != 3) return kMciMissingValue;
    return w[2] == "milliseconds" || w[2] == "ms" ? kMciOk : kMciOutOfRange;
  }
  if (w.size() == 3 && w[0] == "seek" && w[1] == "exactly" && (w[2] == "on" || w[2] == "off")) return kMciOk;
  return kMciUnknownKeyword;
}

uint32_t SetAudio(MciFile& f, const Command& c) {
  const std::vector<std::string>& w = c.words;
  if (w.size() != 3 || w[0] != "volume" || w[1] != "to") return kMciUnknownKeyword;
  const std::optional<int64_t> v = Number(w[2]);
  if (!v || *v < 0 || *v > 1000) return kMciOutOfRange;
  f.volume = int(*v);
  al::SetSourceGain(f.source, float(f.volume) / 1000.0f);
  return kMciOk;
}

uint32_t Status(MciFile& f, const Command& c, std::string* reply) {
  std::string item;
  for (size_t i = 0; i < c.words.size(); ++i) item += (i ? " " : "") + c.words[i];
  if (item == "mode") {
    *reply = f.Mode();
  } else if (item == "position") {
    *reply = std::to_string(f.Ms(f.Position()));
  } else if (item == "length") {
    *reply = std::to_string(f.Ms(f.frames));
  } else if (item == "volume") {
    *reply = std::to_string(f.volume);
  } else if (item == "ready") {
    *reply = "true";
  } else if (item == "time format") {
    *reply = "milliseconds";
  } else {
    return item.empty() ? kMciMissingValue : kMciUnknownKeyword;
  }
  return kMciOk;
}

}  // namespace

uint32_t Mci_SendString(std::string_view text, std::string* reply) {
  std::string ignored;
  if (!reply) reply = &ignored;
  reply->clear();
  std::vector<std::string> words = Split(text);
  while (!words.empty() && (Lower(words.back()) == "wait" || Lower(words.back()) == "notify")) words.pop_back();
  if (words.empty()) return kMciEmptyCommand;
  if (words.size() < 2) return kMciMissingValue;
  Command c;
  c.verb = Lower(words[0]);
  c.device = words[1];
  c.raw.assign(words.begin() + 1, words.end());
  for (const std::string& w : c.raw) c.words.push_back(Lower(w));
  static const char* const kVerbs[] = {"open", "close", "play", "stop", "pause", "resume", "seek", "set", "setaudio", "status"};
  if (std::find_if(std::begin(kVerbs), std::end(kVerbs), [&](const char* v) { return c.verb == v; }) == std::end(kVerbs))
    return kMciUnknownCommand;
  if (c.verb == "open") return Open(c);
  const std::string key = Lower(c.device);
  if (c.verb == "close" && key == "all") {
    Files().clear();
    return kMciOk;
  }
  auto it = Files().find(key);
  if (it == Files().end()) return kMciNoSuchDevice;  // cdaudio among them: there is no drive
  c.words.erase(c.words.begin());
  c.raw.erase(c.raw.begin());
  MciFile& f = *it->second;
  if (c.verb == "close") {
    if (!c.words.empty()) return kMciUnknownKeyword;
    Files().erase(it);
    return kMciOk;
  }
  if (c.verb == "play") return Play(f, c);
  if (c.verb == "seek") return Seek(f, c);
  if (c.verb == "set") return Set(f, c);
  if (c.verb == "setaudio") return SetAudio(f, c);
  if (c.verb == "status") return Status(f, c, reply);
  if (!c.words.empty()) return kMciUnknownKeyword;
  if (c.verb == "stop") {
    f.Stop();
  } else if (c.verb == "pause") {
    if (f.State() == al::SourceState::kPlaying) al::PauseSource(f.source);
  } else if (f.State() == al::SourceState::kPaused) {  // resume
    al::PlaySource(f.source);
  }
  return kMciOk;
}

std::string Mci_ErrorString(uint32_t code) {
  switch (code) {
    case kMciOk: return "The command completed.";
    case kMciUnknownKeyword: return "The command holds a word the device does not know.";
    case kMciUnknownCommand: return "The command is not known.";
    case kMciNoAudioDevice: return "There is no audio device to play the file.";
    case kMciNoSuchDevice: return "The device is not open or is not known.";
    case kMciUnsupportedType: return "The device type is not supported.";
    case kMciEmptyCommand: return "The command string is empty.";
    case kMciMissingValue: return "The command lacks a word it needs.";
    case kMciFileNotFound: return "The file cannot be found.";
    case kMciOutOfRange: return "A value of the command is out of range.";
    case kMciAliasInUse: return "The alias is already in use.";
    case kMciCannotPlayFile: return "The file is not MPEG audio that can be played.";
    default: return "Unknown error " + std::to_string(code) + ".";
  }
}

bool Mci_HasEnded(std::string_view alias) {
  auto it = Files().find(Lower(alias));
  return it != Files().end() && it->second->Ended();
}

void Mci_CloseAll() { Files().clear(); }

size_t Mci_OpenCount() { return Files().size(); }
