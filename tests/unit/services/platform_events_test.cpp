// The hand-over channels a platform back end fills: queued script callbacks
// and the purchase event's queue.
#include <gtest/gtest.h>

#include <memory>

#include "platform/mutex.h"
#include "script/native_code.h"
#include "script/scripts.h"
#include "services/platform_events.h"
#include "unit/ds/ds_call.h"

namespace {
using dstest::Call;

class PlatformEvents : public dstest::DSWorld {
 protected:
  void SetUp() override {
    DSWorld::SetUp();
    g_log.clear();
    queue_ = Call("ds_queue_create").Real();
  }
  // A compiled script that logs each call's arguments (or "none"); a
  // script without an instance cannot read its arguments by name.
  static int32_t AddLoggingScript(const char* name) {
    static const NativeCodeEntry entry{"tws_Script_log", nullptr,
                                       [](CObjInstance*, CObjInstance*, ScriptValue*, int argc, ScriptValue** argv) {
                                         if (argc == 0) g_log += "none ";
                                         for (int i = 0; i < argc; ++i)
                                           g_log += (argv[i]->IsString() ? std::string(argv[i]->Text())
                                                                         : std::to_string(int(argv[i]->Real()))) +
                                                    " ";
                                       }};
    auto script = std::make_unique<CScript>(name);
    script->BindNative(&entry);
    return Script_AddForTests(std::move(script));
  }
  void Enqueue(std::initializer_list<dstest::Value> values) {
    for (const dstest::Value& v : values) Call("ds_queue_enqueue", {queue_, v});
  }
  static std::string Log() { return g_log; }
  static inline std::string g_log;
  double queue_ = -1;
};

TEST_F(PlatformEvents, WithoutQueuesTheDrainsChangeNothingAndFreeTheirLocks) {
  Platform_RunQueuedCallbacks();
  Platform_DispatchIAPEvent();
  EXPECT_EQ(Log(), "");
  // Both locks are free again.
  for (Mutex* m : {&Platform_CallbackLock(), &Platform_PurchaseLock(), &Platform_AchievementLock()}) {
    m->Lock();
    m->Unlock();
  }
  EXPECT_EQ(Platform_CallbackLock().Name(), "comstwscallbacks");
  EXPECT_EQ(Platform_PurchaseLock().Name(), "comsiapevents");
  EXPECT_EQ(Platform_AchievementLock().Name(), "comsachievementcache");
}

TEST_F(PlatformEvents, QueuedCallbacksRunWithTheirArgumentsAndSkipWhatNamesNoScript) {
  AddLoggingScript("cb0");
  const int32_t script = AddLoggingScript("cb1");
  Platform_SetCallbackQueue(int32_t(queue_));
  // A text, a negative number: dropped; then two calls; the count is
  // truncated (2.9 is 2).
  Enqueue({"stray", -4.0, double(script), 2.9, "a", 7.0, 0.0, 0.0});
  Platform_RunQueuedCallbacks();
  EXPECT_EQ(Log(), "a 7 none ");
  EXPECT_EQ(Call("ds_queue_size", {queue_}).Real(), 0);
}

TEST_F(PlatformEvents, ACountBeyondTheQueueTakesOnlyWhatIsThere) {
  const int32_t script = AddLoggingScript("cb");
  Platform_SetCallbackQueue(int32_t(queue_));
  Enqueue({double(script), 1e9, "only"});
  Platform_RunQueuedCallbacks();
  EXPECT_EQ(Log(), "only ");
}

TEST_F(PlatformEvents, ThePurchaseDispatchClearsItsQueueAndFlag) {
  Platform_SetPurchaseQueue(int32_t(queue_));
  Enqueue({1.0, 2.0});
  Platform_DispatchIAPEvent();  // not raised: the queue stays
  EXPECT_EQ(Call("ds_queue_size", {queue_}).Real(), 2);
  Platform_RaisePurchaseEvent();
  Platform_DispatchIAPEvent();
  EXPECT_EQ(Call("ds_queue_size", {queue_}).Real(), 0);
}

}  // namespace
