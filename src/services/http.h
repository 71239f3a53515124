// HTTP requests on worker threads, completed through the asynchronous
// request list: at most kHttpWorkers run at once, the rest wait in the list.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "core/async_requests.h"
#include "platform/http_transfer.h"

constexpr int kHttpWorkers = 8;
// The subtype of the HTTP asynchronous event.
constexpr int kHttpEventSubtype = 62;

// A GET or POST request run by a worker thread. Its data block starts empty
// and takes the whole response when the worker ends: a block made ahead (and
// filled) for every request cost the main loop page faults and unmappings of
// milliseconds while many requests ran. The worker touches only
// `transfer`, `result` and `finished`; the main thread reads them after the
// worker has ended.
class HTTP_REQ_CONTEXT_WORKER : public HTTP_REQ_CONTEXT {
 public:
  HTTP_REQ_CONTEXT_WORKER(const char* url, const char* method, AsyncCompletion completion, AsyncCleanup cleanup,
                          IBuffer* buffer);
  // The headers map, when one was made, goes with the record.
  ~HTTP_REQ_CONTEXT_WORKER() override;

  HttpTransferRequest transfer;
  HttpTransferResult result;
  std::atomic<bool> finished{false};
  std::atomic<bool> cancel{false};
  // The script's buffer for a buffer result, looked up again at completion
  // (the script may have deleted it meanwhile); -1 when none.
  int32_t buffer_id = -1;
  double buffer_handle = -1;
  // The failure of the request, for the console; empty when it went well.
  std::string error;
};

// A request with its own method and header lines.
class HTTP_REQ_CONTEXT_FULL : public HTTP_REQ_CONTEXT_WORKER {
 public:
  HTTP_REQ_CONTEXT_FULL(const char* url, const char* method, const char* headers, AsyncCompletion completion,
                        AsyncCleanup cleanup, IBuffer* buffer);
};

// Each makes a record, puts it in the list and starts its worker (or leaves
// it waiting when every worker is busy). The record, or null when it could
// not be started (nothing is left in the list then).
HTTP_REQ_CONTEXT_WORKER* Http_Get(const char* url, AsyncCompletion completion, AsyncCleanup cleanup,
                                  IBuffer* buffer);
HTTP_REQ_CONTEXT_WORKER* Http_Post(const char* url, const uint8_t* body, size_t length, AsyncCompletion completion,
                                   AsyncCleanup cleanup, IBuffer* buffer);
HTTP_REQ_CONTEXT_WORKER* Http_Request(const char* url, const char* method, const char* headers,
                                      const uint8_t* body, size_t length, AsyncCompletion completion,
                                      AsyncCleanup cleanup, IBuffer* buffer);

// The per-step poll of the workers: finished transfers become records in
// the finished state for the pump (their headers map made here, on the main
// thread), and waiting records take the freed workers, oldest first.
void Http_Poll();
// Unlinks the record and deletes it.
void Http_FreeRequest(HTTP_REQ_CONTEXT* record);
// Cancels and joins every worker; their records stay in the list for the
// list's owner to delete (the game's end).
void Http_Shutdown();
// Workers running now.
int Http_RunningCount();

// Completions for scripts: the body as the "result" text, or written into
// the record's buffer with "result" the position it was written at. Both
// return kHttpEventSubtype.
int HttpResult_ToMap(HTTP_REQ_CONTEXT* record, IBuffer* buffer, int32_t* mapId);
int HttpResult_ToBuffer(HTTP_REQ_CONTEXT* record, IBuffer* buffer, int32_t* mapId);

// "key: value" CR LF for each entry of the map, in its walking order; empty
// for an id that names no map.
std::string Http_HeadersFromMap(int mapId);

// Registers http_get, http_post_string and http_request in the File group's
// order (http_builtins.cpp).
void InitHttpFunctions();
