// A tiny HTTP server on 127.0.0.1 for the request tests and the benchmark:
// each connection is read to the end of its request head and answered with
// one header and the body "ok", after a fixed delay or, with no delay given,
// once Release is called.
#pragma once
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LoopbackServer {
 public:
  explicit LoopbackServer(int delayMs = -1) : delayMs_(delayMs) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(fd_, 256);
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
  ~LoopbackServer() {
    released_ = true;
    shutdown(fd_, SHUT_RDWR);
    close(fd_);
    accepter_.join();
    std::lock_guard<std::mutex> hold(lock_);
    for (std::thread& t : answerers_) t.join();
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  void Release() { released_ = true; }
  // Requests whose head has arrived.
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
    if (delayMs_ >= 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(delayMs_));
    else
      while (!released_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const char reply[] = "HTTP/1.0 200 OK\r\nX-Seen: yes\r\nContent-Length: 2\r\n\r\nok";
    send(c, reply, sizeof reply - 1, MSG_NOSIGNAL);
    close(c);
  }

  int delayMs_;
  int fd_ = -1;
  std::string url_;
  std::thread accepter_;
  std::mutex lock_;
  std::vector<std::thread> answerers_;
  std::atomic<bool> released_{false};
  std::atomic<int> arrived_{0};
};
