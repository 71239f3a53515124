// The engine's named lock: hands results from worker threads to the main
// thread. The name only labels the lock; it has no effect on how it behaves.
#pragma once
#include <mutex>
#include <string>

class Mutex {
 public:
  explicit Mutex(std::string name) : name_(std::move(name)) {}
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;
  // Blocks until the lock is free and takes it; always true.
  bool Lock() {
    lock_.lock();
    return true;
  }
  void Unlock() { lock_.unlock(); }
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
  std::mutex lock_;
};

// Holds a Mutex for a scope.
class MutexHold {
 public:
  explicit MutexHold(Mutex& m) : m_(m) { m_.Lock(); }
  ~MutexHold() { m_.Unlock(); }
  MutexHold(const MutexHold&) = delete;
  MutexHold& operator=(const MutexHold&) = delete;

 private:
  Mutex& m_;
};
