#include "core/async_requests.h"

namespace {
HTTP_REQ_CONTEXT* g_head = nullptr;
int32_t g_counter = 0;
}  // namespace

HTTP_REQ_CONTEXT::HTTP_REQ_CONTEXT(const char* u, int32_t capacity, AsyncCompletion c, AsyncCleanup cl,
                                   IBuffer* buffer)
    : completion(c), cleanup(cl), user_buffer(buffer), id(g_counter++) {
  if (u) {
    url = u;
    has_url = true;
  }
  if (capacity > 0) data.assign(size_t(capacity), 0xFF);
}

HTTP_REQ_CONTEXT* AsyncRequests_Head() { return g_head; }

void AsyncRequest_Add(HTTP_REQ_CONTEXT* record) {
  record->next = g_head;
  g_head = record;
}

bool AsyncRequest_Unlink(HTTP_REQ_CONTEXT* record) {
  for (HTTP_REQ_CONTEXT** link = &g_head; *link; link = &(*link)->next) {
    if (*link != record) continue;
    *link = record->next;
    record->next = nullptr;
    return true;
  }
  return false;
}

void AsyncRequest_Free(HTTP_REQ_CONTEXT* record) {
  AsyncRequest_Unlink(record);
  delete record;
}

HTTP_REQ_CONTEXT* AsyncRequest_Find(int32_t id) {
  for (HTTP_REQ_CONTEXT* r = g_head; r; r = r->next)
    if (r->id == id) return r;
  return nullptr;
}

int32_t AsyncRequests_Count() {
  int32_t n = 0;
  for (HTTP_REQ_CONTEXT* r = g_head; r; r = r->next) ++n;
  return n;
}

int32_t AsyncRequest_Counter() { return g_counter; }

void AsyncRequests_DeleteAll() {
  while (g_head) {
    HTTP_REQ_CONTEXT* r = g_head;
    g_head = r->next;
    delete r;
  }
  g_counter = 0;
}
