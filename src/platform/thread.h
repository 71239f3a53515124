// A thread of the engine's own: started with an entry and an argument, waited
// for without a time limit.
#pragma once
#include <atomic>
#include <thread>

class PlatformThread {
 public:
  // The entry takes its argument from the thread it is given.
  using Entry = void (*)(PlatformThread* self);

  PlatformThread() = default;
  PlatformThread(const PlatformThread&) = delete;
  PlatformThread& operator=(const PlatformThread&) = delete;
  // A thread still running is waited for: leaving it would end the process.
  ~PlatformThread() { Wait(); }

  // False, with the system's code as the last error, when no thread could be
  // made.
  bool Start(Entry entry, void* argument);
  // Returns at once when no thread was started or it was already waited for.
  void Wait();
  void* Argument() const { return argument_; }
  bool Running() const { return running_.load(std::memory_order_acquire); }
  int LastError() const { return last_error_; }

 private:
  static void Trampoline(PlatformThread* self);

  std::thread thread_;
  int last_error_ = 0;
  std::atomic<bool> running_{false};
  void* argument_ = nullptr;
  Entry entry_ = nullptr;
};

void PlatformThread_Sleep(int ms);
