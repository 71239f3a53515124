// The HTTP built-ins of the File group: each returns the new request's id,
// or -1 when nothing started.

#include <cstring>
#include <string>
#include <string_view>

#include "ds/buffer.h"
#include "files/file_group.h"
#include "script/builtin_args.h"
#include "services/http.h"

namespace {

// Case matters: "HTTP://" is refused.
bool WebUrl(const char* url) {
  const std::string_view u(url);
  return u.starts_with("http://") || u.starts_with("https://");
}

void ReturnRecord(ScriptValue* result, const HTTP_REQ_CONTEXT* record) { Return(result, record ? record->id : -1); }

TW_BUILTIN(http_get) {
  const char* url = TextArg(argc, args, 0);
  if (!WebUrl(url)) return Return(result, -1);
  ReturnRecord(result, Http_Get(url, HttpResult_ToMap, nullptr, nullptr));
}

TW_BUILTIN(http_post_string) {
  const char* url = TextArg(argc, args, 0);
  if (!WebUrl(url)) return Return(result, -1);
  const char* body = TextArg(argc, args, 1);
  ReturnRecord(result, Http_Post(url, reinterpret_cast<const uint8_t*>(body), std::strlen(body), HttpResult_ToMap,
                                 nullptr, nullptr));
}

// The body is a text, or a buffer: the buffer's bytes up to its position are
// sent, and a buffer at position 0 sends nothing and takes the response.
TW_BUILTIN(http_request) {
  const char* url = TextArg(argc, args, 0);
  if (!WebUrl(url)) return Return(result, -1);
  const char* method = TextArg(argc, args, 1);
  const std::string headers = Http_HeadersFromMap(RoundedArg(argc, args, 2));
  if (IsStringArg(argc, args, 3)) {
    const char* body = args[3].Text();
    return ReturnRecord(result, Http_Request(url, method, headers.c_str(), reinterpret_cast<const uint8_t*>(body),
                                             std::strlen(body), HttpResult_ToMap, nullptr, nullptr));
  }
  if (!IsRealArg(argc, args, 3)) return Return(result, -1);
  const int bufferId = RoundedArg(argc, args, 3);
  IBuffer* buffer = Buffer_Get(bufferId);
  if (!buffer) return Return(result, -1);
  if (buffer->Position() != 0)
    return ReturnRecord(result, Http_Request(url, method, headers.c_str(), buffer->Data(),
                                             size_t(buffer->Position()), HttpResult_ToMap, nullptr, nullptr));
  HTTP_REQ_CONTEXT_WORKER* r = Http_Request(url, method, headers.c_str(), nullptr, 0, HttpResult_ToBuffer, nullptr,
                                            nullptr);
  if (r) {
    r->buffer_id = bufferId;
    r->buffer_handle = Buffer_AddressHandle(bufferId);
  }
  ReturnRecord(result, r);
}

const NamedBuiltin kHttpBuiltins[] = {
    {"http_post_string", http_post_string},
    {"http_get", http_get},
    {"http_request", http_request},
};

std::span<const NamedBuiltin> HttpBuiltins() { return kHttpBuiltins; }

const BuiltinFamily kHttpFamily[] = {HttpBuiltins};

}  // namespace

void InitHttpFunctions() { BuiltinGroup_Register({Files_FileGroup().order, kHttpFamily}); }
