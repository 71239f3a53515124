// The numbered binary and text files of scripts, and the one older-style
// current file. Every name goes through the save sandbox: reads find the
// save area's copy before the game's own, writes land in the save area.

#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "files/file_group.h"
#include "files/files.h"
#include "files/memory_file.h"
#include "files/pending_write.h"
#include "files/script_output.h"
#include "script/builtin_args.h"
#include "script/errors.h"

namespace {

constexpr int kSlots = 32;  // slot 0 is never handed out
constexpr size_t kLineMax = 1024;

struct BinarySlot {
  bool open = false;
  int mode = 0;  // 0 read, 1 write, 2 (and any other) read-write
  std::string name;  // as the script gave it
  std::unique_ptr<MemoryFile> reader;   // mode 0
  std::unique_ptr<PendingWrite> stream;  // other modes
};

struct TextSlot {
  int mode = 0;  // 0 free, 1 reading, 2 writing
  std::unique_ptr<MemoryFile> reader;
  std::unique_ptr<PendingWrite> writer;
};

// The older-style current file reads as a text stream: CR LF comes as LF,
// and the end is known once a read has run into it.
struct CurrentFile {
  int mode = 0;  // 0 closed, 1 reading, 2 writing
  std::unique_ptr<MemoryFile> reader;
  std::unique_ptr<PendingWrite> writer;
  bool atEnd = false;
};

std::array<BinarySlot, kSlots> g_binary;
std::array<TextSlot, kSlots> g_text;
CurrentFile g_current;

void Report(const char* message) { Error_ReportRuntime(ErrorSeverity::kError, message); }


// ---- Finding and opening -------------------------------------------------------

// The path a script's name is read from: the save area's copy, else the game's own.
std::string ReadPath(const std::string& name) {
  if (LoadSave_SaveFileExists(name)) return LoadSave_MapToSaveArea(name);
  if (LoadSave_BundleFileExists(name)) return LoadSave_MapToBundle(name);
  return {};
}

// What a file opened for changing starts from: the save area's copy, else
// the game's own (which is never changed), else nothing.
std::vector<uint8_t> StartingBytes(const std::string& name) {
  const std::string from = ReadPath(name);
  if (from.empty()) return {};
  auto bytes = LoadSave_ReadWholeFile(from);
  return bytes ? std::move(*bytes) : std::vector<uint8_t>();
}

// A writer for the save area's copy of `name`; null when the name is refused.
std::unique_ptr<PendingWrite> Writer(const std::string& name, bool keepContents, bool append) {
  const std::string path = LoadSave_MapToSaveArea(name);
  if (path.empty() || !File_CreateDirectoryFor(path)) return nullptr;
  if (append && File_Exists(path)) return std::make_unique<PendingWrite>(PendingWrite::Appending(path));
  std::vector<uint8_t> start = keepContents ? StartingBytes(name) : std::vector<uint8_t>();
  auto writer = std::make_unique<PendingWrite>(PendingWrite::Replacing(path, std::move(start)));
  if (append) writer->Seek(writer->Size());
  return writer;
}

int FreeBinarySlot() {
  for (int i = 1; i < kSlots; ++i)
    if (!g_binary[size_t(i)].open) return i;
  return -1;
}

int FreeTextSlot() {
  for (int i = 1; i < kSlots; ++i)
    if (g_text[size_t(i)].mode == 0) return i;
  return -1;
}

void CloseBinary(BinarySlot& slot) {
  if (slot.stream) slot.stream->Close();
  slot = BinarySlot();
}

void CloseText(TextSlot& slot) {
  if (slot.writer) slot.writer->Close();
  slot = TextSlot();
}

void CloseCurrent() {
  if (g_current.writer) g_current.writer->Close();
  g_current = CurrentFile();
}

// ---- Binary files --------------------------------------------------------------

BinarySlot* OpenBinary(int argc, ScriptValue* args, const char* message) {
  const int index = RoundedArg(argc, args, 0);
  if (index < 1 || index >= kSlots || !g_binary[size_t(index)].open) {
    Report(message);
    return nullptr;
  }
  return &g_binary[size_t(index)];
}

TW_BUILTIN(file_bin_open) {
  Return(result, -1);
  const int index = FreeBinarySlot();
  if (index < 0) return Report("Cannot open another file (maximum exceeded).");
  const std::string name = TextArg(argc, args, 0);
  const int mode = RoundedArg(argc, args, 1);
  BinarySlot slot;
  slot.name = name;
  slot.mode = mode;
  if (mode == 0) {
    const std::string path = ReadPath(name);
    if (!path.empty()) slot.reader = LoadSave_FOpenPath(path, "rb");
  } else {
    // Writing never touches the game's own files: a file found only there
    // is copied into the save area first.
    slot.stream = Writer(name, mode != 1, false);
  }
  if (!slot.reader && !slot.stream) {
    Files_Say("Error opening binary file %s\n", name.c_str());
    return;
  }
  slot.open = true;
  g_binary[size_t(index)] = std::move(slot);
  Return(result, index);
}

TW_BUILTIN(file_bin_rewrite) {
  BinarySlot* slot = OpenBinary(argc, args, "Trying to rewrite unopened file.");
  if (!slot) return;
  // A file opened for reading may be the game's own: its new contents go to
  // the save area.
  slot->reader.reset();
  if (!slot->stream) slot->stream = Writer(slot->name, false, false);
  if (slot->stream) slot->stream->Truncate();
  slot->mode = 1;
}

TW_BUILTIN(file_bin_close) {
  if (BinarySlot* slot = OpenBinary(argc, args, "Trying to close unopened file.")) CloseBinary(*slot);
}

TW_BUILTIN(file_bin_position) {
  if (BinarySlot* slot = OpenBinary(argc, args, "File is not opened.")) {
    Return(result, double(slot->reader ? LoadSave_FTell(*slot->reader) : slot->stream ? slot->stream->Position() : 0));
  }
}

TW_BUILTIN(file_bin_size) {
  if (BinarySlot* slot = OpenBinary(argc, args, "File is not opened.")) {
    Return(result, double(slot->reader ? slot->reader->Size() : slot->stream ? slot->stream->Size() : 0));
  }
}

TW_BUILTIN(file_bin_seek) {
  BinarySlot* slot = OpenBinary(argc, args, "File is not opened.");
  if (!slot) return;
  const int64_t position = RoundedArg(argc, args, 1);
  if (slot->reader) LoadSave_FSeek(*slot->reader, position, 0);
  if (slot->stream) slot->stream->Seek(position);
}

TW_BUILTIN(file_bin_read_byte) {
  BinarySlot* slot = OpenBinary(argc, args, "File is not opened.");
  if (!slot) return;
  int byte = -1;
  if (slot->mode == 0 && slot->reader && !LoadSave_FEof(*slot->reader)) byte = LoadSave_FGetC(*slot->reader);
  if (slot->mode == 2 && slot->stream) byte = slot->stream->ReadByte();
  if (byte < 0) {
    Return(result, 0);
    return Report("Error reading byte.");
  }
  Return(result, byte);
}

TW_BUILTIN(file_bin_write_byte) {
  BinarySlot* slot = OpenBinary(argc, args, "File is not opened.");
  if (!slot || (slot->mode != 1 && slot->mode != 2) || !slot->stream) return;
  const uint8_t byte = uint8_t(RoundedArg(argc, args, 1) & 0xFF);
  slot->stream->Write(&byte, 1);
}

// ---- Text files ----------------------------------------------------------------

int TakeTextSlot(ScriptValue* result) {
  Return(result, -1);
  const int index = FreeTextSlot();
  if (index < 0) Report("Cannot open another file (maximum exceeded).");
  return index;
}

bool WantName(int argc, ScriptValue* args) {
  if (IsStringArg(argc, args, 0)) return true;
  Files_Say("ERROR!!! :: wrong type for filename\n");
  return false;
}

TW_BUILTIN(file_text_open_from_string) {
  if (!WantName(argc, args)) return Return(result, -1);
  const int index = TakeTextSlot(result);
  if (index < 0) return;
  const std::string text = TextArg(argc, args, 0);
  TextSlot& slot = g_text[size_t(index)];
  slot.reader = MemoryFile_FromBytes(std::vector<uint8_t>(text.begin(), text.end()), true);
  slot.mode = 1;
  Return(result, index);
}

TW_BUILTIN(file_text_open_read) {
  if (!WantName(argc, args)) return Return(result, -1);
  const int index = TakeTextSlot(result);
  if (index < 0) return;
  const std::string name = TextArg(argc, args, 0);
  const std::string path = ReadPath(name);
  if (path.empty()) return Files_Say("ERROR!!! :: Failed to open file: %s\n", name.c_str());
  std::unique_ptr<MemoryFile> reader = LoadSave_FOpenPath(path, "rt");
  if (!reader) return Files_Say("ERROR!!! :: Failed to open file: %s\n", path.c_str());
  TextSlot& slot = g_text[size_t(index)];
  slot.reader = std::move(reader);
  slot.mode = 1;
  Return(result, index);
}

void OpenTextForWriting(ScriptValue* result, int argc, ScriptValue* args, bool append) {
  const int index = TakeTextSlot(result);
  if (index < 0) return;
  std::unique_ptr<PendingWrite> writer = Writer(TextArg(argc, args, 0), append, append);
  if (!writer) return;
  if (!append) Files_Say("Output file is %s\n", writer->Path().c_str());
  TextSlot& slot = g_text[size_t(index)];
  slot.writer = std::move(writer);
  slot.mode = 2;
  Return(result, index);
}

TW_BUILTIN(file_text_open_write) { OpenTextForWriting(result, argc, args, false); }
TW_BUILTIN(file_text_open_append) { OpenTextForWriting(result, argc, args, true); }

TW_BUILTIN(file_text_close) {
  const int index = RoundedArg(argc, args, 0);
  if (index < 1 || index >= kSlots) return Report("Trying to close unexisting text file.");
  CloseText(g_text[size_t(index)]);
}

MemoryFile* TextReader(int argc, ScriptValue* args) {
  const int index = RoundedArg(argc, args, 0);
  if (index < 1 || index >= kSlots || g_text[size_t(index)].mode != 1) {
    Report("File is not opened for reading.");
    return nullptr;
  }
  return g_text[size_t(index)].reader.get();
}

PendingWrite* TextWriter(int argc, ScriptValue* args) {
  const int index = RoundedArg(argc, args, 0);
  if (index < 1 || index >= kSlots || g_text[size_t(index)].mode != 2) {
    Report("File not opened for writing.");
    return nullptr;
  }
  return g_text[size_t(index)].writer.get();
}

// Up to the next CR or LF (left where it is) or the end.
std::string ReadToLineEnd(MemoryFile& file) {
  std::string text;
  while (!LoadSave_FEoln(file)) text += char(LoadSave_FGetC(file));
  return text;
}

// Through the next LF (kept) or to the end, at most kLineMax bytes.
std::string ReadLine(MemoryFile& file) {
  std::string text;
  while (text.size() < kLineMax && !LoadSave_FEof(file)) {
    text += char(LoadSave_FGetC(file));
    if (text.back() == '\n') break;
  }
  return text;
}

TW_BUILTIN(file_text_read_string) {
  if (MemoryFile* file = TextReader(argc, args)) Files_SetText(result, ReadToLineEnd(*file));
}

TW_BUILTIN(file_text_readln) {
  if (MemoryFile* file = TextReader(argc, args)) Files_SetText(result, ReadLine(*file));
}

TW_BUILTIN(file_text_read_real) {
  if (MemoryFile* file = TextReader(argc, args)) {
    double value = 0;
    LoadSave_FReadReal(*file, &value);
    Return(result, value);
  }
}

TW_BUILTIN(file_text_eof) {
  if (MemoryFile* file = TextReader(argc, args)) Return(result, LoadSave_FEof(*file) ? 1 : 0);
}

TW_BUILTIN(file_text_eoln) {
  if (MemoryFile* file = TextReader(argc, args)) Return(result, LoadSave_FEoln(*file) ? 1 : 0);
}

void WriteText(PendingWrite& writer, const std::string& text) { writer.Write(text.data(), text.size()); }

std::string Formatted(const char* format, double value) {
  char buffer[512];
  const int n = std::snprintf(buffer, sizeof buffer, format, value);
  if (n >= 0 && size_t(n) < sizeof buffer) return buffer;
  std::string big(size_t(n > 0 ? n : 0) + 1, '\0');
  std::snprintf(big.data(), big.size(), format, value);
  big.pop_back();
  return big;
}

TW_BUILTIN(file_text_write_string) {
  PendingWrite* writer = TextWriter(argc, args);
  if (writer && IsStringArg(argc, args, 1)) WriteText(*writer, TextArg(argc, args, 1));
}

TW_BUILTIN(file_text_write_real) {
  if (PendingWrite* writer = TextWriter(argc, args)) WriteText(*writer, Formatted("%g ", Arg(argc, args, 1)));
}

TW_BUILTIN(file_text_writeln) {
  if (PendingWrite* writer = TextWriter(argc, args)) WriteText(*writer, "\n");
}

// ---- The current file ----------------------------------------------------------

TW_BUILTIN(file_open_read) {
  CloseCurrent();
  const std::string path = ReadPath(TextArg(argc, args, 0));
  auto bytes = path.empty() ? std::nullopt : LoadSave_ReadWholeFile(path);
  if (!bytes) return;
  std::vector<uint8_t> text;
  text.reserve(bytes->size());
  for (size_t i = 0; i < bytes->size(); ++i) {
    if ((*bytes)[i] == '\r' && i + 1 < bytes->size() && (*bytes)[i + 1] == '\n') continue;
    text.push_back((*bytes)[i]);
  }
  g_current.reader = MemoryFile_FromBytes(std::move(text), false);
  g_current.mode = 1;
}

void OpenCurrentForWriting(int argc, ScriptValue* args, bool append) {
  CloseCurrent();
  g_current.writer = Writer(TextArg(argc, args, 0), append, append);
  if (g_current.writer) g_current.mode = 2;
}

TW_BUILTIN(file_open_write) { OpenCurrentForWriting(argc, args, false); }
TW_BUILTIN(file_open_append) { OpenCurrentForWriting(argc, args, true); }
TW_BUILTIN(file_close) { CloseCurrent(); }

MemoryFile* CurrentReader(const char* message) {
  if (g_current.mode != 1) {
    Report(message);
    return nullptr;
  }
  return g_current.reader.get();
}

PendingWrite* CurrentWriter() {
  if (g_current.mode != 2) {
    Report("File not opened for writing.");
    return nullptr;
  }
  return g_current.writer.get();
}

TW_BUILTIN(file_read_string) {
  MemoryFile* file = CurrentReader("File not opened for reading.");
  if (!file) return;
  std::string text;
  for (;;) {
    if (LoadSave_FEof(*file)) {
      g_current.atEnd = true;
      break;
    }
    if (text.size() >= kLineMax) break;
    const char c = char(LoadSave_FGetC(*file));
    if (c == '\n' || c == '\r') break;
    text += c;
  }
  Files_SetText(result, text);
}

TW_BUILTIN(file_readln) {
  MemoryFile* file = CurrentReader("File not opened for reading.");
  if (!file) return;
  const std::string line = ReadLine(*file);
  if (line.empty() || line.back() != '\n') g_current.atEnd = LoadSave_FEof(*file);
  Files_SetText(result, line);
}

TW_BUILTIN(file_read_real) {
  MemoryFile* file = CurrentReader("File not opened for reading.");
  if (!file) return;
  double value = 0;
  LoadSave_FReadReal(*file, &value);
  // Formatted input looks one character past the number.
  if (LoadSave_FEof(*file)) g_current.atEnd = true;
  Return(result, value);
}

TW_BUILTIN(file_eof) {
  if (CurrentReader("File is not opened for reading.")) Return(result, g_current.atEnd ? 1 : 0);
}

TW_BUILTIN(file_write_string) {
  if (PendingWrite* writer = CurrentWriter()) WriteText(*writer, TextArg(argc, args, 0));
}

TW_BUILTIN(file_write_real) {
  if (PendingWrite* writer = CurrentWriter()) WriteText(*writer, Formatted("%10.4f", Arg(argc, args, 0)));
}

TW_BUILTIN(file_writeln) {
  if (PendingWrite* writer = CurrentWriter()) WriteText(*writer, "\n");
}

const NamedBuiltin kHandleBuiltins[] = {
    {"file_bin_open", file_bin_open},
    {"file_bin_rewrite", file_bin_rewrite},
    {"file_bin_close", file_bin_close},
    {"file_bin_position", file_bin_position},
    {"file_bin_size", file_bin_size},
    {"file_bin_seek", file_bin_seek},
    {"file_bin_read_byte", file_bin_read_byte},
    {"file_bin_write_byte", file_bin_write_byte},
    {"file_text_open_from_string", file_text_open_from_string},
    {"file_text_open_read", file_text_open_read},
    {"file_text_open_write", file_text_open_write},
    {"file_text_open_append", file_text_open_append},
    {"file_text_close", file_text_close},
    {"file_text_read_string", file_text_read_string},
    {"file_text_read_real", file_text_read_real},
    {"file_text_readln", file_text_readln},
    {"file_text_eof", file_text_eof},
    {"file_text_eoln", file_text_eoln},
    {"file_text_write_string", file_text_write_string},
    {"file_text_write_real", file_text_write_real},
    {"file_text_writeln", file_text_writeln},
    {"file_open_read", file_open_read},
    {"file_open_write", file_open_write},
    {"file_open_append", file_open_append},
    {"file_close", file_close},
    {"file_read_string", file_read_string},
    {"file_read_real", file_read_real},
    {"file_readln", file_readln},
    {"file_eof", file_eof},
    {"file_write_string", file_write_string},
    {"file_write_real", file_write_real},
    {"file_writeln", file_writeln},
};

}  // namespace

std::span<const NamedBuiltin> Files_HandleBuiltins() { return kHandleBuiltins; }

void File_ClearTables() {
  g_binary = {};
  g_text = {};
  g_current = CurrentFile();
}

void File_CloseAllBinary() {
  for (BinarySlot& slot : g_binary) CloseBinary(slot);
}

void File_CloseAllText() {
  for (TextSlot& slot : g_text) CloseText(slot);
  CloseCurrent();
}
