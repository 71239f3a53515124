#include "ds/buffer_builtins.h"

#include <memory>
#include <string>

#include "ds/buffer.h"
#include "ds/ds.h"
#include "script/builtin_args.h"
#include "script/errors.h"
#include "script/memory_manager.h"

namespace {

const BuiltinGroupName kBufferGroup[] = {
    {"buffer_create", 3},
    {"buffer_delete", 1},
    {"buffer_write", 3},
    {"buffer_read", 2},
    {"buffer_poke", 4},
    {"buffer_peek", 3},
    {"buffer_seek", 3},
    {"buffer_save", 2},
    {"buffer_save_ext", 4},
    {"buffer_load", 1},
    {"buffer_load_ext", 3},
    {"buffer_copy", 5},
    {"buffer_fill", 5},
    {"buffer_get_size", 1},
    {"buffer_tell", 1},
    {"buffer_resize", 2},
    {"buffer_md5", 3},
    {"buffer_sha1", 3},
    {"buffer_base64_encode", 3},
    {"buffer_base64_decode", 1},
    {"buffer_base64_decode_ext", 3},
    {"buffer_sizeof", 1},
    {"buffer_get_address", 1},
    {"buffer_get_surface", 5},
    {"buffer_set_surface", 5},
};

void Report(const std::string& message) { Error_ReportRuntime(ErrorSeverity::kError, message.c_str()); }

void Start(ScriptValue* result, double initial) {
  ScriptValue_Free(result);
  *result = ScriptValue::FromReal(initial);
}

// The count and kinds of a call: `kinds` has one letter per argument, r for
// a real, t for a text, * for either. Reports the first fault, each message
// after `prefix`.
bool ArgsFit(int argc, const ScriptValue* args, const char* kinds, const char* prefix = "") {
  const int want = int(std::char_traits<char>::length(kinds));
  if (argc != want) {
    Report(std::string(prefix) + "Illegal argument count");
    return false;
  }
  for (int i = 0; i < want; ++i) {
    const bool fits = kinds[i] == '*' || (kinds[i] == 'r' ? args[i].IsReal() : args[i].IsString());
    if (!fits) {
      Report(std::string(prefix) + "Illegal argument type");
      return false;
    }
  }
  return true;
}

int IdArg(const ScriptValue* args, int i) { return Real_ToInt32(args[i].Real()); }
int IntArg(const ScriptValue* args, int i) { return Real_ToInt32(args[i].Real()); }

// The checked call on the buffer its first argument names; null after a
// report.
IBuffer* CheckedBuffer(int argc, const ScriptValue* args, const char* kinds, const char* prefix = "") {
  if (!ArgsFit(argc, args, kinds, prefix)) return nullptr;
  IBuffer* b = Buffer_Get(IdArg(args, 0));
  if (!b) Report(std::string(prefix) + "Illegal Buffer Index");
  return b;
}

// A buffer made by a built-in enters the table, or -1 with a report.
double Enter(IBuffer* b, const char* who) {
  const int id = Buffer_Add(b);
  if (id < 0) Report(std::string(who) + ": too many buffers");
  return id;
}

TW_BUILTIN(buffer_create) {
  Start(result, -1);
  if (!ArgsFit(argc, args, "rrr", "buffer_create: ")) return;
  const int size = IntArg(args, 0), alignment = IntArg(args, 2);
  if (size < 1 || size > kBufferMaxSize) return Report("buffer_create: Illegal size");
  if (alignment < 1 || alignment > 1024) return Report("buffer_create: Illegal alignment size");
  const int id = Buffer_Create(size, IntArg(args, 1), alignment);
  if (id < 0) return Report("buffer_create: too many buffers");
  Return(result, id);
}

TW_BUILTIN(buffer_delete) {
  Start(result, 0);
  if (ArgsFit(argc, args, "r")) Buffer_Delete(IdArg(args, 0));
}

TW_BUILTIN(buffer_write) {
  Start(result, -1);
  IBuffer* b = CheckedBuffer(argc, args, "rr*");
  if (!b) return;
  const int type = IntArg(args, 1);
  if ((type == eBuffer_String) != args[2].IsString() || args[2].IsArray())
    return Report("Wrong tws type for buffer type");
  Return(result, b->Write(type, &args[2]));
}

TW_BUILTIN(buffer_read) {
  Start(result, 0);
  if (IBuffer* b = CheckedBuffer(argc, args, "rr")) b->Read(IntArg(args, 1), result);
}

TW_BUILTIN(buffer_poke) {
  Start(result, 0);
  if (IBuffer* b = CheckedBuffer(argc, args, "rrrr")) b->Poke(IntArg(args, 1), IntArg(args, 2), &args[3]);
}

TW_BUILTIN(buffer_peek) {
  Start(result, 0);
  if (IBuffer* b = CheckedBuffer(argc, args, "rrr")) b->Peek(IntArg(args, 1), IntArg(args, 2), result);
}

TW_BUILTIN(buffer_seek) {
  Start(result, -1);
  if (IBuffer* b = CheckedBuffer(argc, args, "rrr")) Return(result, b->Seek(IntArg(args, 1), IntArg(args, 2)));
}

// 0 when saved; -1 and a report naming the file and the reason when not.
void SaveRange(ScriptValue* result, IBuffer* b, const char* who, const char* name, int offset, int size) {
  std::string why;
  if (b->Save(name, offset, size, &why)) return;
  Return(result, -1);
  Report(std::string(who) + ": cannot save \"" + name + "\": " + why);
}

TW_BUILTIN(buffer_save) {
  Start(result, 0);
  if (IBuffer* b = CheckedBuffer(argc, args, "rt")) SaveRange(result, b, "buffer_save", args[1].Text(), 0, -1);
}

TW_BUILTIN(buffer_save_ext) {
  Start(result, 0);
  if (IBuffer* b = CheckedBuffer(argc, args, "rtrr"))
    SaveRange(result, b, "buffer_save_ext", args[1].Text(), IntArg(args, 2), IntArg(args, 3));
}

// The built-ins that fill a new empty buffer from their one text argument:
// the buffer's id, or -1 and `failure` reported with the buffer gone.
template <typename Fill>
void NewBufferFromText(ScriptValue* result, int argc, const ScriptValue* args, const char* who,
                       const char* failure, Fill fill) {
  Start(result, -1);
  if (!ArgsFit(argc, args, "t")) return;
  auto b = std::make_unique<Buffer_Standard>();
  if (!fill(b.get(), args[0].Text())) return Report(failure);
  Return(result, Enter(b.release(), who));
}

TW_BUILTIN(buffer_load) {
  NewBufferFromText(result, argc, args, "buffer_load", "Cannot load buffer file",
                    [](IBuffer* b, const char* name) { return b->Load(name, 0, -1, 0); });
}

TW_BUILTIN(buffer_load_ext) {
  Start(result, 0);
  IBuffer* b = CheckedBuffer(argc, args, "rtr");
  if (!b) return;
  std::string why;
  if (b->Load(args[1].Text(), 0, -1, IntArg(args, 2), &why)) return;
  Return(result, -1);
  Report(std::string("buffer_load_ext: cannot load \"") + args[1].Text() + "\": " + why);
}

TW_BUILTIN(buffer_copy) {
  Start(result, 0);
  if (!ArgsFit(argc, args, "rrrrr")) return;
  IBuffer* source = Buffer_Get(IdArg(args, 0));
  IBuffer* destination = Buffer_Get(IdArg(args, 3));
  if (!source || !destination) return Report("Illegal Source Buffer Index");
  if (source == destination) return Report("Source and Destination buffers can't be the same");
  source->Copy(IntArg(args, 1), IntArg(args, 2), destination, IntArg(args, 4));
}

TW_BUILTIN(buffer_fill) {
  Start(result, 0);
  if (IBuffer* b = CheckedBuffer(argc, args, "rrrrr"))
    b->Fill(IntArg(args, 1), IntArg(args, 4), IntArg(args, 2), &args[3]);
}

TW_BUILTIN(buffer_get_size) {
  Start(result, -1);
  if (IBuffer* b = CheckedBuffer(argc, args, "r")) Return(result, b->Size());
}

TW_BUILTIN(buffer_tell) {
  Start(result, -1);
  if (IBuffer* b = CheckedBuffer(argc, args, "r")) Return(result, b->Position());
}

TW_BUILTIN(buffer_resize) {
  Start(result, 0);
  IBuffer* b = CheckedBuffer(argc, args, "rr");
  if (b && !b->Resize(IntArg(args, 1))) Report("buffer_resize: Illegal size");
}

// The digests start as a string without text.
void StartText(ScriptValue* result) {
  ScriptValue_Free(result);
  result->kind = kKindString;
  result->text = nullptr;
}

TW_BUILTIN(buffer_md5) {
  StartText(result);
  if (IBuffer* b = CheckedBuffer(argc, args, "rrr")) b->MD5(result, IntArg(args, 1), IntArg(args, 2));
}

TW_BUILTIN(buffer_sha1) {
  StartText(result);
  if (IBuffer* b = CheckedBuffer(argc, args, "rrr")) b->SHA1(result, IntArg(args, 1), IntArg(args, 2));
}

TW_BUILTIN(buffer_base64_encode) {
  Start(result, -1);
  if (IBuffer* b = CheckedBuffer(argc, args, "rrr")) b->Base64Encode(result, IntArg(args, 1), IntArg(args, 2));
}

TW_BUILTIN(buffer_base64_decode) {
  NewBufferFromText(result, argc, args, "buffer_base64_decode", "buffer_base64_decode: invalid base64 text",
                    [](IBuffer* b, const char* text) { return b->Base64Decode(text, 0, -1); });
}

TW_BUILTIN(buffer_base64_decode_ext) {
  Start(result, 0);
  IBuffer* b = CheckedBuffer(argc, args, "rtr");
  if (b && !b->Base64Decode(args[1].Text(), IntArg(args, 2), -1)) {
    Return(result, -1);
    Report("buffer_base64_decode_ext: invalid base64 text");
  }
}

TW_BUILTIN(buffer_sizeof) {
  Start(result, -1);
  if (ArgsFit(argc, args, "r")) Return(result, Buffer_SizeOfType(IntArg(args, 0)));
}

TW_BUILTIN(buffer_get_address) {
  Start(result, 0);
  if (CheckedBuffer(argc, args, "r", "buffer_get_address: ")) Return(result, Buffer_AddressHandle(IdArg(args, 0)));
}

TW_BUILTIN(buffer_get_surface) {
  Start(result, -1);
  Report("Error in buffer_get_surface(): Not yet implemented.");
}

TW_BUILTIN(buffer_set_surface) {
  Start(result, -1);
  Report("Error in buffer_set_surface(): Not yet implemented.");
}

const NamedBuiltin kBufferBuiltins[] = {
    {"buffer_create", buffer_create},
    {"buffer_delete", buffer_delete},
    {"buffer_write", buffer_write},
    {"buffer_read", buffer_read},
    {"buffer_poke", buffer_poke},
    {"buffer_peek", buffer_peek},
    {"buffer_seek", buffer_seek},
    {"buffer_save", buffer_save},
    {"buffer_save_ext", buffer_save_ext},
    {"buffer_load", buffer_load},
    {"buffer_load_ext", buffer_load_ext},
    {"buffer_copy", buffer_copy},
    {"buffer_fill", buffer_fill},
    {"buffer_get_size", buffer_get_size},
    {"buffer_tell", buffer_tell},
    {"buffer_resize", buffer_resize},
    {"buffer_md5", buffer_md5},
    {"buffer_sha1", buffer_sha1},
    {"buffer_base64_encode", buffer_base64_encode},
    {"buffer_base64_decode", buffer_base64_decode},
    {"buffer_base64_decode_ext", buffer_base64_decode_ext},
    {"buffer_sizeof", buffer_sizeof},
    {"buffer_get_address", buffer_get_address},
    {"buffer_get_surface", buffer_get_surface},
    {"buffer_set_surface", buffer_set_surface},
};

std::span<const NamedBuiltin> BufferBuiltins() { return kBufferBuiltins; }

const BuiltinFamily kFamilies[] = {BufferBuiltins};

}  // namespace

BuiltinGroup Buffer_Group() { return {kBufferGroup, kFamilies}; }

void InitBufferFunctions() { BuiltinGroup_Register(Buffer_Group()); }
