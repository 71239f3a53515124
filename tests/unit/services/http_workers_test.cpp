// The worker slots against a local server that holds its answers until the
// test lets them go: eight requests run, later ones wait (POST in state 8,
// the others in 9) and start oldest first as workers free up; the headers
// map is made by the poll, not while the worker runs.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ds/map.h"
#include "ds/store.h"
#include "services/http.h"
#include "unit/ds/ds_call.h"

namespace {

// Answers each request with one header and a body once released.
class HeldServer {
 public:
  HeldServer() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    listen(fd_, 64);
    socklen_t len = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    url_ = "http://127.0.0.1:" + std::to_string(ntohs(a.sin_port)) + "/";
    accepter_ = std::thread([this] {
      for (;;) {
        int c = accept(fd_, nullptr, nullptr);
        if (c < 0) return;
        std::lock_guard<std::mutex> hold(lock_);
        answerers_.emplace_back([this, c] { Answer(c); });
      }
    });
  }
  ~HeldServer() {
    released_ = true;
    shutdown(fd_, SHUT_RDWR);
    close(fd_);
    accepter_.join();
    std::lock_guard<std::mutex> hold(lock_);
    for (std::thread& t : answerers_) t.join();
  }
  void Release() { released_ = true; }
  int Arrived() const { return arrived_; }
  const std::string& Url() const { return url_; }

 private:
  void Answer(int c) {
    std::string got;
    char buf[1024];
    while (got.find("\r\n\r\n") == std::string::npos) {
      ssize_t n = recv(c, buf, sizeof buf, 0);
      if (n <= 0) break;
      got.append(buf, size_t(n));
    }
    ++arrived_;
    while (!released_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const char reply[] = "HTTP/1.0 200 OK\r\nX-Seen: yes\r\nContent-Length: 2\r\n\r\nok";
    send(c, reply, sizeof reply - 1, MSG_NOSIGNAL);
    close(c);
  }

  int fd_ = -1;
  std::string url_;
  std::thread accepter_;
  std::mutex lock_;
  std::vector<std::thread> answerers_;
  std::atomic<bool> released_{false};
  std::atomic<int> arrived_{0};
};

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
  HeldServer server;
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
  HeldServer server;
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
  HeldServer server;
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
