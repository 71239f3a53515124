#include "ds/json.h"

#include <json-c/json.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <unordered_set>

#include "ds/ds.h"
#include "ds/list.h"
#include "ds/map.h"
#include "ds/store.h"
#include "script/builtin_args.h"
#include "script/function_registry.h"

namespace {

// ---------------------------------------------------------------------------
// Encoding

// Bytes that are not well-formed UTF-8 become U+FFFD: the text written is
// JSON whatever a script put in its strings, and the strings read are UTF-8
// whatever bytes the text held (json-c passes them through).
std::string ValidUtf8(const char* text) {
  std::string out;
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  const size_t n = std::strlen(text);
  out.reserve(n);
  auto continuation = [&](size_t i) { return i < n && (s[i] & 0xC0) == 0x80; };
  for (size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    size_t length = 0;
    if (c < 0x80) {
      length = 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
      length = continuation(i + 1) ? 2 : 0;
    } else if (c >= 0xE0 && c <= 0xEF) {
      // No overlong forms (E0 80..9F) and no surrogates (ED A0..BF).
      const bool second = i + 1 < n && (c == 0xE0 ? s[i + 1] >= 0xA0 && s[i + 1] <= 0xBF
                                                  : c == 0xED ? s[i + 1] >= 0x80 && s[i + 1] <= 0x9F
                                                              : continuation(i + 1));
      length = second && continuation(i + 2) ? 3 : 0;
    } else if (c >= 0xF0 && c <= 0xF4) {
      // No overlong forms (F0 80..8F) and nothing past U+10FFFF (F4 90..).
      const bool second = i + 1 < n && (c == 0xF0 ? s[i + 1] >= 0x90 && s[i + 1] <= 0xBF
                                                  : c == 0xF4 ? s[i + 1] >= 0x80 && s[i + 1] <= 0x8F
                                                              : continuation(i + 1));
      length = second && continuation(i + 2) && continuation(i + 3) ? 4 : 0;
    }
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(text + i, length);
      i += length;
    }
  }
  return out;
}

class Encoder {
 public:
  // `depth` counts the containers around the value, itself included when it
  // is one.
  json_object* Value(const ScriptValue& v, int depth) {
    if (DS_MarkCounts(v.kind)) {
      const DSKind kind = DS_MarkedKind(v.kind);
      const DSContainer* c = DS_Get(kind, Real_ToInt32(v.real));
      if (!c) return nullptr;
      return kind == eDS_Map ? Map(*static_cast<const CDS_HashMap*>(c), depth)
                             : List(*static_cast<const CDS_List*>(c), depth);
    }
    if (v.IsReal()) return Number(v.real);
    if (v.IsString()) return json_object_new_string(ValidUtf8(v.Text()).c_str());
    if (v.IsArray()) return Array(v.array, depth);
    return nullptr;
  }

  json_object* Map(const CDS_HashMap& map, int depth) {
    if (!Enter(&map, depth)) return nullptr;
    json_object* object = json_object_new_object();
    for (const HashPair* p = map.FindFirst(); p; p = map.FindNext(&p->key)) {
      const std::string key =
          p->key.IsString() ? ValidUtf8(p->key.Text()) : std::to_string(Real_ToInt64(p->key.Real()));
      json_object_object_add(object, key.c_str(), Value(p->value, depth + 1));
    }
    path_.erase(&map);
    return object;
  }

 private:
  // False (the container is written as null) past the nesting limit or when
  // the container already encloses this value.
  bool Enter(const void* container, int depth) {
    return depth <= kJsonMaxNesting && path_.insert(container).second;
  }

  json_object* List(const CDS_List& list, int depth) {
    if (!Enter(&list, depth)) return nullptr;
    json_object* array = json_object_new_array();
    for (int32_t i = 0; i < list.Size(); ++i) json_object_array_add(array, Value(*list.Item(i), depth + 1));
    path_.erase(&list);
    return array;
  }

  // Row after row, as one flat array.
  json_object* Array(const ScriptArray* a, int depth) {
    if (!a || !Enter(a, depth)) return nullptr;
    json_object* array = json_object_new_array();
    for (int32_t r = 0; r < a->rowCount; ++r)
      for (int32_t c = 0; c < a->rows[r].length; ++c)
        json_object_array_add(array, Value(a->rows[r].elements[c], depth + 1));
    path_.erase(a);
    return array;
  }

  // Six decimals, whatever the locale. JSON has no NaN or infinity.
  static json_object* Number(double x) {
    if (!std::isfinite(x)) return nullptr;
    char text[400];  // the longest double in fixed notation is 309 digits
    const auto end = std::to_chars(text, text + sizeof text - 1, x, std::chars_format::fixed, 6).ptr;
    *end = '\0';
    return json_object_new_double_s(x, text);
  }

  std::unordered_set<const void*> path_;
};

// ---------------------------------------------------------------------------
// Decoding

ScriptValue Convert(json_object* o);

int NewMap(json_object* object) {
  auto* map = new CDS_HashMap();
  const int id = DS_Add(eDS_Map, map);
  json_object_iterator end = json_object_iter_end(object);
  for (json_object_iterator it = json_object_iter_begin(object); !json_object_iter_equal(&it, &end);
       json_object_iter_next(&it)) {
    json_object* member = json_object_iter_peek_value(&it);
    if (!member) continue;  // a null member is left out
    ScriptValue key;
    ScriptValue_SetText(&key, ValidUtf8(json_object_iter_peek_name(&it)).c_str());
    ScriptValue value = Convert(member);
    map->Add(&key, &value);  // json-c keeps one member per name
    ScriptValue_Free(&key);
    DS_DropValue(&value);
  }
  return id;
}

int NewList(json_object* array) {
  auto* list = new CDS_List();
  const int id = DS_Add(eDS_List, list);
  const size_t n = json_object_array_length(array);
  for (size_t i = 0; i < n; ++i) {
    ScriptValue value = Convert(json_object_array_get_idx(array, i));
    const uint32_t mark = value.kind & (DS_MARK_LIST | DS_MARK_MAP);
    list->Add(&value);
    if (mark) list->Mark(list->Size() - 1, mark);
    DS_DropValue(&value);
  }
  return id;
}

ScriptValue Marked(int id, uint32_t mark) {
  ScriptValue v = ScriptValue::FromReal(id);
  v.kind = mark;
  return v;
}

ScriptValue Convert(json_object* o) {
  switch (json_object_get_type(o)) {
    case json_type_boolean:
      return ScriptValue::FromReal(json_object_get_boolean(o) ? 1.0 : 0.0);
    case json_type_double:
      return ScriptValue::FromReal(json_object_get_double(o));
    case json_type_int: {
      // All 64 bits: json-c keeps the integers between 2^63 and 2^64 unsigned.
      const int64_t i = json_object_get_int64(o);
      return ScriptValue::FromReal(i == INT64_MAX ? double(json_object_get_uint64(o)) : double(i));
    }
    case json_type_string: {
      ScriptValue v;
      ScriptValue_SetText(&v, ValidUtf8(json_object_get_string(o)).c_str());
      return v;
    }
    case json_type_object:
      return Marked(NewMap(o), DS_MARK_MAP);
    case json_type_array:
      return Marked(NewList(o), DS_MARK_LIST);
    case json_type_null:
      break;
  }
  return ScriptValue::FromReal(0.0);
}

// json-c reads an integer that does not fit 64 bits as the nearest bound
// (10^23 as 2^64 - 1); written with a fraction it is read as the nearest
// double. So every integer of 19 digits or more gets ".0". Strings and
// comments are skipped as json-c skips them.
std::string WidenLongIntegers(std::string_view text) {
  std::string out;
  size_t copied = 0;
  const size_t n = text.size();
  auto digit = [&](size_t i) { return i < n && text[i] >= '0' && text[i] <= '9'; };
  for (size_t i = 0; i < n;) {
    const char c = text[i];
    if (c == '"' || c == '\'') {
      size_t j = i + 1;
      while (j < n && text[j] != c) j += text[j] == '\\' ? 2 : 1;
      i = j + 1;
    } else if (c == '/' && i + 1 < n && text[i + 1] == '*') {
      const size_t close = text.find("*/", i + 2);
      i = close == std::string_view::npos ? n : close + 2;
    } else if (c == '/' && i + 1 < n && text[i + 1] == '/') {
      const size_t close = text.find('\n', i + 2);
      i = close == std::string_view::npos ? n : close + 1;
    } else if (digit(i) || (c == '-' && digit(i + 1))) {
      // A number's start: not a fraction, an exponent or part of a word.
      const bool start =
          i == 0 || !(std::isalnum(static_cast<unsigned char>(text[i - 1])) || text[i - 1] == '.' ||
                      text[i - 1] == '+' || text[i - 1] == '-' || text[i - 1] == '_');
      size_t j = c == '-' ? i + 1 : i;
      const size_t first = j;
      while (digit(j)) ++j;
      const bool integer = j >= n || (text[j] != '.' && text[j] != 'e' && text[j] != 'E');
      if (start && integer && j - first >= 19) {
        out.append(text, copied, j - copied);
        out += ".0";
        copied = j;
      }
      i = j;
    } else {
      ++i;
    }
  }
  if (copied == 0) return std::string(text);
  out.append(text, copied, std::string_view::npos);
  return out;
}

enum class Parsed { kOk, kFailed, kTooDeep };

// json-c counts every value as a level, so its limit lets an empty
// container through one level deeper than one that holds a value; this
// limit counts containers only, as the encoder does.
bool WithinNesting(json_object* o, int depth) {
  const json_type type = json_object_get_type(o);
  if (type != json_type_object && type != json_type_array) return true;
  if (depth > kJsonMaxNesting) return false;
  if (type == json_type_array) {
    const size_t n = json_object_array_length(o);
    for (size_t i = 0; i < n; ++i)
      if (!WithinNesting(json_object_array_get_idx(o, i), depth + 1)) return false;
    return true;
  }
  json_object_iterator end = json_object_iter_end(o);
  for (json_object_iterator it = json_object_iter_begin(o); !json_object_iter_equal(&it, &end);
       json_object_iter_next(&it))
    if (!WithinNesting(json_object_iter_peek_value(&it), depth + 1)) return false;
  return true;
}

// The text must hold one object and nothing after it but white space.
Parsed Parse(const std::string& text, json_object** object) {
  *object = nullptr;
  const std::string widened = WidenLongIntegers(text);
  if (widened.size() > size_t(INT_MAX)) return Parsed::kFailed;
  json_tokener* tok = json_tokener_new_ex(kJsonMaxNesting + 1);  // the values inside the deepest
  if (!tok) return Parsed::kFailed;
  json_object* o = json_tokener_parse_ex(tok, widened.c_str(), int(widened.size()));
  const json_tokener_error error = json_tokener_get_error(tok);
  size_t end = json_tokener_get_parse_end(tok);
  json_tokener_free(tok);
  while (end < widened.size() && std::isspace(static_cast<unsigned char>(widened[end]))) ++end;
  if (error != json_tokener_success || !json_object_is_type(o, json_type_object) || end != widened.size()) {
    json_object_put(o);
    return error == json_tokener_error_depth ? Parsed::kTooDeep : Parsed::kFailed;
  }
  if (!WithinNesting(o, 1)) {
    json_object_put(o);
    return Parsed::kTooDeep;
  }
  *object = o;
  return Parsed::kOk;
}

std::string Wrapped(const char* before, std::string_view text, const char* after) {
  std::string s = before;
  s.append(text);
  s += after;
  return s;
}

TW_BUILTIN(json_encode) { ScriptValue_SetText(result, JSON_Encode(TruncatedArg(argc, args, 0)).c_str()); }

TW_BUILTIN(json_decode) {
  if (IsRealArg(argc, args, 0)) {
    // Two decimals, read back as a string.
    char number[400];
    const auto end = std::to_chars(number, number + sizeof number - 1, Arg(argc, args, 0),
                                   std::chars_format::fixed, 2).ptr;
    Return(result, JSON_Decode(Wrapped("{ \"default\" : \"", std::string_view(number, size_t(end - number)),
                                       "\" }").c_str()));
    return;
  }
  Return(result, JSON_Decode(TextArg(argc, args, 0)));
}

}  // namespace

std::string JSON_Encode(int mapId) {
  const auto* map = DS_GetAs<CDS_HashMap>(eDS_Map, mapId);
  if (!map) return "";
  Encoder encoder;
  json_object* object = encoder.Map(*map, 1);
  std::string text = json_object_to_json_string(object);
  json_object_put(object);
  return text;
}

int JSON_Decode(const char* text) {
  const std::string_view whole(text);
  size_t first = 0, last = whole.size();
  while (first < last && std::isspace(static_cast<unsigned char>(whole[first]))) ++first;
  while (last > first && std::isspace(static_cast<unsigned char>(whole[last - 1]))) --last;
  const bool braces = first < last && whole[first] == '{' && whole[last - 1] == '}';
  const bool brackets = first < last && whole[first] == '[' && whole[last - 1] == ']';
  // Anything else is taken as the text of a string (not escaped: a quote in
  // it breaks the string and nothing is read).
  const std::string asString = Wrapped("{ \"default\" : \"", whole, "\" }");
  json_object* object = nullptr;
  Parsed parsed = Parsed::kFailed;
  if (braces)
    parsed = Parse(std::string(whole), &object);
  else if (brackets)
    parsed = Parse(Wrapped("{ \"default\" : ", whole, " }"), &object);
  else
    parsed = Parse(asString, &object);
  // Too deep is JSON all the same: it is refused, not read as a string.
  if (parsed == Parsed::kFailed && (braces || brackets)) parsed = Parse(asString, &object);
  if (parsed != Parsed::kOk) return -1;
  const int id = NewMap(object);
  json_object_put(object);
  return id;
}

void InitJsonFunctions() {
  FunctionRegistry_Add("json_encode", json_encode, 1);
  FunctionRegistry_Add("json_decode", json_decode, 1);
}
