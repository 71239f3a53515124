#include "services/http.h"

#include <charconv>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <cstring>
#include <system_error>
#include <utility>

#include "ds/buffer.h"
#include "ds/map.h"
#include "ds/store.h"
#include "script/console.h"

namespace {

// The workers are kHttpWorkers threads made once and kept: making and
// joining a thread per request would stall the main thread's poll for
// milliseconds. The main thread hands a record over through `jobs`; the
// worker says it is done through the record's `finished` flag.
class WorkerPool {
 public:
  void Hand(HTTP_REQ_CONTEXT_WORKER* r) {
    if (threads_.empty())
      for (int i = 0; i < kHttpWorkers; ++i) threads_.emplace_back([this] { Serve(); });
    {
      std::lock_guard<std::mutex> hold(lock_);
      jobs_.push_back(r);
    }
    wake_.notify_one();
  }
  // Every thread ends after its transfer (which the caller has cancelled).
  void Stop() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      stopping_ = true;
      jobs_.clear();
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
    threads_.clear();
    stopping_ = false;
  }

 private:
  void Serve() {
    for (;;) {
      HTTP_REQ_CONTEXT_WORKER* r = nullptr;
      {
        std::unique_lock<std::mutex> hold(lock_);
        wake_.wait(hold, [this] { return stopping_ || !jobs_.empty(); });
        if (stopping_) return;
        r = jobs_.front();
        jobs_.pop_front();
      }
      HttpTransfer_Run(r->transfer, r->cancel, &r->result);
      r->finished.store(true, std::memory_order_release);
    }
  }

  std::vector<std::thread> threads_;
  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<HTTP_REQ_CONTEXT_WORKER*> jobs_;
  bool stopping_ = false;
};

WorkerPool g_pool;
// The running records, in slot order.
HTTP_REQ_CONTEXT_WORKER* g_slots[kHttpWorkers];
int g_running = 0;

bool IsFull(const HTTP_REQ_CONTEXT* r) { return dynamic_cast<const HTTP_REQ_CONTEXT_FULL*>(r) != nullptr; }

// Gives the record a worker, or leaves it waiting when all are busy. False
// when no worker could be made.
bool StartWorker(HTTP_REQ_CONTEXT_WORKER* r) {
  const bool post = r->transfer.method == "POST";
  if (g_running >= kHttpWorkers) {
    r->state = post && !IsFull(r) ? kAsyncWaitingPost : kAsyncWaitingGet;
    return true;
  }
  try {
    g_pool.Hand(r);
  } catch (const std::system_error& e) {
    g_OutputConsole->Output("HttpError:Create Http Thread: %s\n", e.what());
    return false;
  }
  g_slots[g_running++] = r;
  r->state = post && IsFull(r) ? kAsyncSentPost : kAsyncSent;
  return true;
}

// The oldest waiting request, nearest the end of the list.
HTTP_REQ_CONTEXT_WORKER* OldestWaiting() {
  HTTP_REQ_CONTEXT_WORKER* found = nullptr;
  for (HTTP_REQ_CONTEXT* r = AsyncRequests_Head(); r; r = r->next)
    if (r->state == kAsyncWaitingPost || r->state == kAsyncWaitingGet)
      if (auto* w = dynamic_cast<HTTP_REQ_CONTEXT_WORKER*>(r)) found = w;
  return found;
}

// Made on the main thread: the map table is not the workers' to touch. A
// repeated header keeps its first value.
int32_t ParseHeaders(const std::string& text) {
  const int32_t id = DS_MapCreateFromPairs({});
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    const size_t colon = line.find(": ");
    if (colon != std::string::npos) DS_MapAddString(id, line.substr(0, colon).c_str(), line.c_str() + colon + 2);
    start = end + 1;
  }
  return id;
}

// What the worker left, taken into the record the pump completes. A failed
// transfer still ends in its event, with nothing received.
void Finish(HTTP_REQ_CONTEXT_WORKER* r) {
  HttpTransferResult& result = r->result;
  r->http_status = result.status;
  if (!result.rawHeaders.empty()) r->headers_map = ParseHeaders(result.rawHeaders);
  r->error = std::move(result.error);
  if (r->error.empty()) {
    r->data = std::move(result.body);
    r->received = int32_t(r->data.size());
    r->data.push_back(0);
  } else {
    g_OutputConsole->Output("HttpError:%s\n", r->error.c_str());
    r->data.assign(1, 0);
    r->received = 0;
  }
  result = HttpTransferResult{};
  r->transfer.body = {};
  r->state = kAsyncFinished;
}

// Ends a record that never got a worker with its event all the same.
void FinishUnstarted(HTTP_REQ_CONTEXT_WORKER* r) {
  r->result = HttpTransferResult{};
  r->result.error = "Create Http Thread: no thread";
  Finish(r);
}

HTTP_REQ_CONTEXT_WORKER* Launch(HTTP_REQ_CONTEXT_WORKER* r) {
  HttpTransfer_GlobalInit();
  AsyncRequest_Add(r);
  if (StartWorker(r)) return r;
  Http_FreeRequest(r);
  return nullptr;
}

std::string ValueText(const ScriptValue& v) {
  if (v.IsString()) return v.Text();
  char text[64];
  auto done = std::to_chars(text, text + sizeof text, v.Real());
  return std::string(text, done.ptr);
}

int32_t MakeResultMap(HTTP_REQ_CONTEXT* r, double result, const char* resultText, bool status) {
  return DS_MapCreateFromPairs({
      {"id", double(r->id)},
      {"url", 0.0, r->url.c_str()},
      {"result", result, resultText},
      {"http_status", double(r->http_status)},
      {"response_headers", double(r->headers_map)},
      {"status", status ? 0.0 : -1.0},
  });
}

}  // namespace

HTTP_REQ_CONTEXT_WORKER::HTTP_REQ_CONTEXT_WORKER(const char* url, const char* method, AsyncCompletion completion,
                                                 AsyncCleanup cleanup, IBuffer* buffer)
    : HTTP_REQ_CONTEXT(url, 0, completion, cleanup, buffer) {
  transfer.url = url;
  transfer.method = method && *method ? method : "GET";
}

HTTP_REQ_CONTEXT_WORKER::~HTTP_REQ_CONTEXT_WORKER() {
  if (headers_map != -1) DS_MapDestroy(headers_map);
}

HTTP_REQ_CONTEXT_FULL::HTTP_REQ_CONTEXT_FULL(const char* url, const char* method, const char* headers,
                                             AsyncCompletion completion, AsyncCleanup cleanup, IBuffer* buffer)
    : HTTP_REQ_CONTEXT_WORKER(url, method, completion, cleanup, buffer) {
  if (headers) transfer.headers = headers;
}

HTTP_REQ_CONTEXT_WORKER* Http_Get(const char* url, AsyncCompletion completion, AsyncCleanup cleanup,
                                  IBuffer* buffer) {
  return Launch(new HTTP_REQ_CONTEXT_WORKER(url, "GET", completion, cleanup, buffer));
}

HTTP_REQ_CONTEXT_WORKER* Http_Post(const char* url, const uint8_t* body, size_t length, AsyncCompletion completion,
                                   AsyncCleanup cleanup, IBuffer* buffer) {
  auto* r = new HTTP_REQ_CONTEXT_WORKER(url, "POST", completion, cleanup, buffer);
  r->transfer.headers = "Content-Type: application/x-www-form-urlencoded\r\n";
  if (length) r->transfer.body.assign(body, body + length);
  r->transfer.sendBody = true;
  return Launch(r);
}

HTTP_REQ_CONTEXT_WORKER* Http_Request(const char* url, const char* method, const char* headers,
                                      const uint8_t* body, size_t length, AsyncCompletion completion,
                                      AsyncCleanup cleanup, IBuffer* buffer) {
  auto* r = new HTTP_REQ_CONTEXT_FULL(url, method, headers, completion, cleanup, buffer);
  if (length) r->transfer.body.assign(body, body + length);
  return Launch(r);
}

void Http_Poll() {
  for (int i = 0; i < g_running; ++i) {
    HTTP_REQ_CONTEXT_WORKER* r = g_slots[i];
    if (!r->finished.load(std::memory_order_acquire)) continue;
    Finish(r);
    // The last slot fills the freed one; it is looked at in the next poll.
    g_slots[i] = g_slots[--g_running];
    g_slots[g_running] = nullptr;
    while (g_running < kHttpWorkers) {
      HTTP_REQ_CONTEXT_WORKER* waiting = OldestWaiting();
      if (!waiting) break;
      waiting->state = kAsyncMade;
      if (!StartWorker(waiting)) FinishUnstarted(waiting);
    }
  }
}

void Http_FreeRequest(HTTP_REQ_CONTEXT* record) { AsyncRequest_Free(record); }

void Http_Shutdown() {
  for (int i = 0; i < g_running; ++i) g_slots[i]->cancel.store(true, std::memory_order_relaxed);
  g_pool.Stop();
  for (int i = 0; i < g_running; ++i) g_slots[i] = nullptr;
  g_running = 0;
}

int Http_RunningCount() { return g_running; }

int HttpResult_ToMap(HTTP_REQ_CONTEXT* r, IBuffer*, int32_t* mapId) {
  const std::string text(reinterpret_cast<const char*>(r->data.data()), size_t(r->received));
  *mapId = MakeResultMap(r, 0.0, text.c_str(), r->received > 0);
  return kHttpEventSubtype;
}

int HttpResult_ToBuffer(HTTP_REQ_CONTEXT* r, IBuffer* buffer, int32_t* mapId) {
  IBuffer* target = buffer;
  if (auto* w = dynamic_cast<HTTP_REQ_CONTEXT_WORKER*>(r); w && w->buffer_id >= 0) {
    // Only the very buffer the script named: a deleted one's id may already
    // name another.
    int size = 0;
    target = Buffer_ResolveAddress(w->buffer_handle, &size) ? Buffer_Get(w->buffer_id) : nullptr;
  }
  if (!target) {
    *mapId = MakeResultMap(r, -1.0, nullptr, false);
    return kHttpEventSubtype;
  }
  const int position = target->Position();
  if (r->received > 0)
    Buffer_CopyMemory(target, r->data.data(), r->received, 0, r->received, position, true,
                      target->Kind() == eBuffer_Wrap, false);
  *mapId = MakeResultMap(r, double(position), nullptr, r->received > 0);
  return kHttpEventSubtype;
}

std::string Http_HeadersFromMap(int mapId) {
  std::string text;
  auto* map = DS_GetAs<CDS_HashMap>(eDS_Map, mapId);
  if (!map) return text;
  for (const HashPair* p = map->FindFirst(); p; p = map->FindNext(&p->key))
    text += ValueText(p->key) + ": " + ValueText(p->value) + "\r\n";
  return text;
}
