#include "services/platform_events.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/dispatch_pattern.h"
#include "core/events.h"
#include "ds/queue.h"
#include "platform/mutex.h"
#include "script/code_run.h"
#include "script/scripts.h"
#include "script/value.h"

namespace {
constexpr int32_t kPurchaseEvent = 66;

int32_t g_callbackQueue = -1;
int32_t g_purchaseQueue = -1;
bool g_purchasePending = false;

// A real of 0 or more.
bool NamesScript(const ScriptValue& v) { return v.IsReal() && v.real >= 0; }
}  // namespace

Mutex& Platform_AchievementLock() {
  static Mutex lock("comsachievementcache");
  return lock;
}

Mutex& Platform_PurchaseLock() {
  static Mutex lock("comsiapevents");
  return lock;
}

Mutex& Platform_CallbackLock() {
  static Mutex lock("comstwscallbacks");
  return lock;
}

void Platform_RunQueuedCallbacks() {
  MutexHold hold(Platform_CallbackLock());
  if (g_callbackQueue < 0) return;
  while (DS_QueueSize(g_callbackQueue) >= 1) {
    ScriptValue head{};
    DS_QueueDequeue(g_callbackQueue, &head);
    if (!NamesScript(head)) {
      ScriptValue_Free(&head);
      continue;
    }
    auto script = int32_t(head.real);
    ScriptValue count{};
    DS_QueueDequeue(g_callbackQueue, &count);
    double n = std::isfinite(count.Real()) ? std::trunc(count.Real()) : 0;
    ScriptValue_Free(&count);
    // Never more arguments than the queue still holds.
    auto argc = int(std::min<double>(std::max(n, 0.0), DS_QueueSize(g_callbackQueue)));
    std::vector<ScriptValue> args(static_cast<size_t>(argc));
    for (ScriptValue& a : args) DS_QueueDequeue(g_callbackQueue, &a);
    ScriptValue result{};
    Script_Run(script, nullptr, nullptr, argc, &result, args.data());
    Code_ReportPendingError();
    ScriptValue_Free(&result);
    for (ScriptValue& a : args) ScriptValue_Free(&a);
  }
}

void Platform_DispatchIAPEvent() {
  MutexHold hold(Platform_PurchaseLock());
  if (!g_purchasePending) return;
  Dispatch_All(kEventOther, kPurchaseEvent);
  if (g_purchaseQueue >= 0) DS_QueueClear(g_purchaseQueue);
  g_purchasePending = false;
}

int32_t Platform_CallbackQueue() { return g_callbackQueue; }
void Platform_SetCallbackQueue(int32_t id) { g_callbackQueue = id; }
int32_t Platform_PurchaseQueue() { return g_purchaseQueue; }
void Platform_SetPurchaseQueue(int32_t id) { g_purchaseQueue = id; }
void Platform_RaisePurchaseEvent() { g_purchasePending = true; }

void Platform_ResetEventQueues() {
  g_callbackQueue = -1;
  g_purchaseQueue = -1;
  g_purchasePending = false;
}
