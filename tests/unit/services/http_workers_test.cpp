// The worker slots against a local server that holds its answers until the
// test lets them go: eight requests run, later ones wait (POST in state 8,
// the others in 9) and start oldest first as workers free up; the headers
// map is made by the poll, not while the worker runs.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "ds/map.h"
#include "ds/store.h"
#include "services/http.h"
#include "unit/ds/ds_call.h"
#include "unit/services/loopback_server.h"

namespace {

class HttpWorkers : public dstest::DSWorld {
 protected:
  void TearDown() override {
    Http_Shutdown();
    DSWorld::TearDown();
  }
  // Polls until `done` holds; false after a generous bound.
  template <typename Done>
  static bool PollUntil(Done done) {
    for (int i = 0; i < 20000 && !done(); ++i) {
      Http_Poll();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
  }
};

TEST_F(HttpWorkers, EightRunTheRestWaitAndStartOldestFirst) {
  LoopbackServer server;
  std::vector<HTTP_REQ_CONTEXT_WORKER*> r;
  for (int i = 0; i < 8; ++i) r.push_back(Http_Get(server.Url().c_str(), HttpResult_ToMap, nullptr, nullptr));
  const uint8_t body[] = {'x'};
  r.push_back(Http_Post(server.Url().c_str(), body, 1, HttpResult_ToMap, nullptr, nullptr));
  r.push_back(Http_Request(server.Url().c_str(), "PUT", "", body, 1, HttpResult_ToMap, nullptr, nullptr));
  r.push_back(Http_Get(server.Url().c_str(), HttpResult_ToMap, nullptr, nullptr));
  for (int i = 0; i < 8; ++i) EXPECT_EQ(r[size_t(i)]->state, kAsyncSent) << i;
  EXPECT_EQ(r[8]->state, kAsyncWaitingPost);
  EXPECT_EQ(r[9]->state, kAsyncWaitingGet);
  EXPECT_EQ(r[10]->state, kAsyncWaitingGet);
  EXPECT_EQ(Http_RunningCount(), 8);
  ASSERT_TRUE(PollUntil([&] { return server.Arrived() == 8; }));
  // Until released, nothing ends and no map is made.
  Http_Poll();
  for (HTTP_REQ_CONTEXT_WORKER* x : r) EXPECT_NE(x->state, kAsyncFinished);
  server.Release();
  ASSERT_TRUE(PollUntil([&] {
    for (HTTP_REQ_CONTEXT_WORKER* x : r)
      if (x->state != kAsyncFinished) return false;
    return true;
  }));
  for (HTTP_REQ_CONTEXT_WORKER* x : r) {
    EXPECT_EQ(x->http_status, 200);
    EXPECT_EQ(x->received, 2);
    auto* map = DS_GetAs<CDS_HashMap>(eDS_Map, x->headers_map);
    ASSERT_NE(map, nullptr);
    ScriptValue key;
    ScriptValue_SetText(&key, "X-Seen");
    const HashPair* p = map->Find(&key);
    ScriptValue_Free(&key);
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p->value.Text(), "yes");
  }
  EXPECT_EQ(Http_RunningCount(), 0);
}

TEST_F(HttpWorkers, TheOldestWaitingOneTakesTheFirstFreeWorker) {
  LoopbackServer server;
  std::vector<HTTP_REQ_CONTEXT_WORKER*> r;
  for (int i = 0; i < 10; ++i) r.push_back(Http_Get(server.Url().c_str(), HttpResult_ToMap, nullptr, nullptr));
  ASSERT_TRUE(PollUntil([&] { return server.Arrived() == 8; }));
  server.Release();
  // The first poll that frees a worker starts r[8] (the older of the two)
  // before r[9].
  ASSERT_TRUE(PollUntil([&] { return r[8]->state != kAsyncWaitingGet || r[9]->state != kAsyncWaitingGet; }));
  EXPECT_NE(r[8]->state, kAsyncWaitingGet);
}

TEST_F(HttpWorkers, HeadersWaitForThePoll) {
  LoopbackServer server;
  server.Release();
  HTTP_REQ_CONTEXT_WORKER* r = Http_Get(server.Url().c_str(), HttpResult_ToMap, nullptr, nullptr);
  ASSERT_NE(r, nullptr);
  for (int i = 0; i < 20000 && !r->finished.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(r->finished.load());
  // The worker is done and left raw text; the table has no map yet.
  EXPECT_EQ(r->headers_map, -1);
  EXPECT_NE(r->result.rawHeaders.find("X-Seen: yes"), std::string::npos);
  Http_Poll();
  EXPECT_EQ(r->state, kAsyncFinished);
  EXPECT_NE(DS_GetAs<CDS_HashMap>(eDS_Map, r->headers_map), nullptr);
}

}  // namespace
