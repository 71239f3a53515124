#include "platform/thread.h"

#include <chrono>
#include <system_error>

bool PlatformThread::Start(Entry entry, void* argument) {
  Wait();
  entry_ = entry;
  argument_ = argument;
  running_.store(true, std::memory_order_release);
  try {
    thread_ = std::thread(&PlatformThread::Trampoline, this);
  } catch (const std::system_error& e) {
    last_error_ = e.code().value();
    running_.store(false, std::memory_order_release);
    return false;
  }
  return true;
}

void PlatformThread::Wait() {
  if (thread_.joinable()) thread_.join();
}

void PlatformThread::Trampoline(PlatformThread* self) {
  self->entry_(self);
  self->running_.store(false, std::memory_order_release);
}

void PlatformThread_Sleep(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
