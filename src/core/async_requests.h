// The one list of asynchronous requests: HTTP transfers, dialogs and every
// other piece of work that finishes outside the frame. The runner's pump
// completes each record in state kAsyncFinished once per step: its
// completion builds the result map and names the event subtype.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class IBuffer;
class HTTP_REQ_CONTEXT;

// Builds the result map into *mapId and returns the asynchronous event
// subtype (60 or more fires the event).
using AsyncCompletion = int (*)(HTTP_REQ_CONTEXT* record, IBuffer* buffer, int32_t* mapId);
using AsyncCleanup = void (*)(HTTP_REQ_CONTEXT* record);

// Record states.
constexpr int32_t kAsyncMade = 1;
constexpr int32_t kAsyncSent = 5;
constexpr int32_t kAsyncSentPost = 6;
constexpr int32_t kAsyncFinished = 7;
constexpr int32_t kAsyncWaitingPost = 8;
constexpr int32_t kAsyncWaitingGet = 9;

class HTTP_REQ_CONTEXT {
 public:
  // Takes its id from the request counter, which then moves on; the data
  // block has the given capacity and is filled with 0xFF.
  HTTP_REQ_CONTEXT(const char* url, int32_t capacity, AsyncCompletion completion, AsyncCleanup cleanup,
                   IBuffer* buffer);
  virtual ~HTTP_REQ_CONTEXT() = default;
  HTTP_REQ_CONTEXT(const HTTP_REQ_CONTEXT&) = delete;
  HTTP_REQ_CONTEXT& operator=(const HTTP_REQ_CONTEXT&) = delete;

  int32_t Capacity() const { return int32_t(data.size()); }

  HTTP_REQ_CONTEXT* next = nullptr;
  int32_t state = kAsyncMade;
  AsyncCompletion completion = nullptr;
  AsyncCleanup cleanup = nullptr;
  IBuffer* user_buffer = nullptr;
  std::string url;
  bool has_url = false;
  int32_t id = 0;
  int32_t http_status = 200;
  // Destroyed by the owner of the record kind (maps live above this layer).
  int32_t headers_map = -1;
  std::vector<uint8_t> data;
  int32_t received = 0;
};

// The newest record first.
HTTP_REQ_CONTEXT* AsyncRequests_Head();
// Adds a record at the front; the list owns it from then on.
void AsyncRequest_Add(HTTP_REQ_CONTEXT* record);
// Takes a record out of the list without deleting it; false when absent.
bool AsyncRequest_Unlink(HTTP_REQ_CONTEXT* record);
// Unlinks and deletes.
void AsyncRequest_Free(HTTP_REQ_CONTEXT* record);
HTTP_REQ_CONTEXT* AsyncRequest_Find(int32_t id);
int32_t AsyncRequests_Count();
// The id the next record will take.
int32_t AsyncRequest_Counter();
// Deletes every record (the game's end; workers must have stopped first)
// and starts the counter again at 0.
void AsyncRequests_DeleteAll();
