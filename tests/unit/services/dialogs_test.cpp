// Dialogs as scripts see them: the built-ins called through the registry,
// answered from a scripted answer file, and the asynchronous ones completed
// as the step's pump completes them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/async_requests.h"
#include "draw/text.h"
#include "ds/map.h"
#include "ds/store.h"
#include "files/files.h"
#include "input/input.h"
#include "input/input_builtins.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "script/function_registry.h"
#include "script/value.h"
#include "services/dialogs.h"
#include "unit/line_console.h"
#include "unit/world_reset.h"

namespace {

// ---- The "#" line breaks ------------------------------------------------------------

TEST(HashNewlines, ConvertsInPlaceAndCountsCharacters) {
  struct Case {
    const char* in;
    const char* out;
    int count;
  };
  const Case cases[] = {
      {"a#b", "a\rb", 3},
      {"a\\#b", "a#b", 3},
      {"#", "\r", 1},
      {"\\\\#", "\\#", 2},  // only the backslash just before the "#" goes
      {"\\", "\\", 1},
      {"", "", 0},
      {"\xC3\xA9#\xE2\x82\xAC", "\xC3\xA9\r\xE2\x82\xAC", 3},
  };
  for (const Case& c : cases) {
    std::string text = c.in;
    EXPECT_EQ(Support_ConvertHashNewlines(&text), c.count) << c.in;
    EXPECT_EQ(text, c.out) << c.in;
    // Drawn text follows the same rule.
    const std::vector<uint16_t> drawn = Support_ConvertHashNewlines(c.in);
    std::vector<uint16_t> expected;
    for (const char* p = c.out; *p;) expected.push_back(uint16_t(UTF8_DecodeChar(&p)));
    EXPECT_EQ(drawn, expected) << c.in;
  }
  EXPECT_EQ(Support_ConvertHashNewlines(static_cast<std::string*>(nullptr)), 0);
}

TEST(DialogAnswer, CutToTheBufferNeverInsideACharacter) {
  EXPECT_EQ(Dialog_CutAnswer(std::string(9000, 'a')).size(), kDialogAnswerBuffer - 1);
  // The two bytes of "é" would straddle the limit: the whole character goes.
  const std::string split = std::string(kDialogAnswerBuffer - 2, 'a') + "\xC3\xA9";
  EXPECT_EQ(Dialog_CutAnswer(split), std::string(kDialogAnswerBuffer - 2, 'a'));
  const std::string fits = std::string(kDialogAnswerBuffer - 3, 'a') + "\xC3\xA9";
  EXPECT_EQ(Dialog_CutAnswer(fits), fits);
}

// ---- The built-ins ------------------------------------------------------------------

class Dialogs : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    IO_Init();
    InitInteractionFunctions();
    saved_ = g_OutputConsole;
    g_OutputConsole = &console_;
    answers_ = ::testing::TempDir() + "tw-dialog-answers-" + std::to_string(::getpid()) + ".txt";
    Dialog_RewindAnswers();
  }
  void TearDown() override {
    unsetenv("TARNWICKE_DIALOG_ANSWERS");
    std::remove(answers_.c_str());
    Dialog_RewindAnswers();
    LoadSave_ForgetAllowedPaths();
    g_OutputConsole = saved_;
    IO_Shutdown();
    WorldTest::TearDown();
  }

  // The answers the next dialogs take, one line each.
  void Answers(const std::vector<std::string>& lines) {
    std::ofstream out(answers_, std::ios::binary | std::ios::trunc);
    for (const std::string& l : lines) out << l << "\n";
    out.close();
    setenv("TARNWICKE_DIALOG_ANSWERS", answers_.c_str(), 1);
    Dialog_RewindAnswers();
  }

  struct Arg {
    Arg(double r) : real(r), isText(false) {}  // NOLINT: a table of arguments
    Arg(const char* t) : text(t), isText(true) {}  // NOLINT
    double real = 0;
    std::string text;
    bool isText;
  };
  // The built-in's result; the caller frees it.
  static ScriptValue Call(const std::string& name, const std::vector<Arg>& values) {
    const int index = FunctionRegistry_Find(name);
    EXPECT_GE(index, 0) << name;
    auto args = std::make_unique<ScriptValue[]>(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
      if (values[i].isText)
        ScriptValue_SetText(&args[i], values[i].text.c_str());
      else
        args[i].real = values[i].real;
    }
    ScriptValue result;
    if (index >= 0) FunctionRegistry_Call(index, nullptr, nullptr, &result, int(values.size()), args.get());
    for (size_t i = 0; i < values.size(); ++i) ScriptValue_Free(&args[i]);
    return result;
  }
  static double Real(const std::string& name, const std::vector<Arg>& values) {
    ScriptValue r = Call(name, values);
    const double x = r.Real();
    ScriptValue_Free(&r);
    return x;
  }
  static std::string Text(const std::string& name, const std::vector<Arg>& values) {
    ScriptValue r = Call(name, values);
    std::string t = r.IsString() ? r.Text() : "(not a string)";
    ScriptValue_Free(&r);
    return t;
  }

  // What the step's pump does with the record: its map, read into pairs.
  struct Result {
    int subtype = 0;
    std::string result, username, password;
    double id = -1, value = -1, status = -1;
    int keys = 0;
  };
  static Result Complete(int32_t id) {
    Result out;
    HTTP_REQ_CONTEXT* r = AsyncRequest_Find(id);
    EXPECT_NE(r, nullptr);
    if (!r) return out;
    EXPECT_EQ(r->state, kAsyncFinished);
    AsyncRequest_Unlink(r);
    int32_t map = -1;
    out.subtype = r->completion(r, nullptr, &map);
    delete r;
    auto* m = DS_GetAs<CDS_HashMap>(eDS_Map, map);
    EXPECT_NE(m, nullptr);
    if (!m) return out;
    out.keys = m->Size();
    auto text = [&](const char* key, std::string* into) {
      ScriptValue k;
      ScriptValue_SetText(&k, key);
      if (const HashPair* p = m->Find(&k)) *into = p->value.Text();
      ScriptValue_Free(&k);
    };
    auto real = [&](const char* key, double* into) {
      ScriptValue k;
      ScriptValue_SetText(&k, key);
      if (const HashPair* p = m->Find(&k)) *into = p->value.Real();
      ScriptValue_Free(&k);
    };
    real("id", &out.id);
    real("value", &out.value);
    real("status", &out.status);
    text("result", &out.result);
    text("username", &out.username);
    text("password", &out.password);
    DS_MapDestroy(map);
    return out;
  }

  LineConsole console_;
  tagIConsole* saved_ = nullptr;
  std::string answers_;
};

TEST_F(Dialogs, ShowMessageWritesNumbersAndLineBreaks) {
  struct Case {
    Arg arg;
    const char* shown;
  };
  const Case cases[] = {{"a#b", "a\nb"}, {"a\\#b", "a#b"}, {3.0, "3"}, {2.5, "2.50"}, {-7.0, "-7"}};
  for (const Case& c : cases) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Real("show_message", {c.arg}), 1);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Tarnwicke:Rellum: " + std::string(c.shown) + "\n");
  }
}

TEST_F(Dialogs, ModalInputAndQuestionAnswers) {
  Answers({"ok 12.7", "cancel", "ok hello", "cancel", "yes", "no"});
  ::testing::internal::CaptureStderr();
  EXPECT_DOUBLE_EQ(Real("get_integer", {"How many?", 3.0}), 12.7);  // not rounded
  EXPECT_EQ(Real("get_integer", {"How many?", 4.6}), 5);             // the default, rounded
  EXPECT_EQ(Text("get_string", {"Name?", "x"}), "hello");
  EXPECT_EQ(Text("get_string", {"Name?", "x"}), "");
  EXPECT_EQ(Real("show_question", {"Sure?"}), 1);
  EXPECT_EQ(Real("show_question", {"Sure?"}), 0);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("input dialog: Tarnwicke:Rellum: How many?"), std::string::npos) << err;
  EXPECT_EQ(console_.text, "Finished dialog - IDOK\nFinished dialog - IDCANCEL\n");
  // Used up: every further dialog is cancelled.
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Real("get_integer", {"More?", "2.5"}), 2);
  ::testing::internal::GetCapturedStderr();
}

TEST_F(Dialogs, WithoutAnswersEveryDialogIsCancelledAtOnce) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Text("get_string", {"Name?", 2.5}), "");
  EXPECT_EQ(Real("show_question", {"Sure?"}), 0);
  const double id = Real("get_string_async", {"Name?", "x"});
  AsyncDialog_Poll();
  const Result r = Complete(int32_t(id));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.result, "");
  ::testing::internal::GetCapturedStderr();
}

TEST_F(Dialogs, AsynchronousInputAndQuestionMaps) {
  Answers({"ok 12.5", "no", "ok abc"});
  ::testing::internal::CaptureStderr();
  const double input = Real("get_integer_async", {"How many?", 2.5});
  // The real default is rounded halves to even and written as an integer.
  auto* record = dynamic_cast<DIALOG_REQ_CONTEXT*>(AsyncRequest_Find(int32_t(input)));
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->third, "2");
  EXPECT_EQ(record->first, "Tarnwicke:Rellum");
  AsyncDialog_Poll();
  Result r = Complete(int32_t(input));
  EXPECT_EQ(r.subtype, 63);
  EXPECT_EQ(r.keys, 4);
  EXPECT_EQ(r.id, input);
  EXPECT_EQ(r.result, "12.5");
  EXPECT_EQ(r.value, 12.5);
  EXPECT_EQ(r.status, 1);

  const double question = Real("show_question_async", {"Sure?"});
  AsyncDialog_Poll();
  r = Complete(int32_t(question));
  EXPECT_EQ(r.result, "");
  EXPECT_EQ(r.value, 0);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(console_.text, "Finished dialog - IDCANCEL\n");

  const double text = Real("get_string_async", {"Word?", "w"});
  AsyncDialog_Poll();
  r = Complete(int32_t(text));
  EXPECT_EQ(r.result, "abc");
  EXPECT_EQ(r.value, 0);  // not a number
  ::testing::internal::GetCapturedStderr();
}

TEST_F(Dialogs, LoginMaps) {
  struct Case {
    const char* answer;
    const char* user;
    const char* password;
    double status;
  };
  const Case cases[] = {
      {"login joe\ta#b", "joe", "a#b", 4},
      {"login \tsecret", "", "secret", 0},
      {"cancel", "", "", 0},
      {"login ann\t", "ann", "", 4},
  };
  for (const Case& c : cases) {
    Answers({c.answer});
    ::testing::internal::CaptureStderr();
    const double id = Real("get_login_async", {"u", "p"});
    AsyncDialog_Poll();
    const Result r = Complete(int32_t(id));
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(r.username, c.user) << c.answer;
    EXPECT_EQ(r.password, c.password) << c.answer;
    EXPECT_EQ(r.status, c.status) << c.answer;
    EXPECT_EQ(r.keys, 4);
  }
  // Anything but two strings opens nothing.
  const int before = AsyncRequests_Count();
  ScriptValue none = Call("get_login_async", {"u", 1.0});
  EXPECT_FALSE(none.IsString());
  ScriptValue_Free(&none);
  EXPECT_EQ(AsyncRequests_Count(), before);
}

TEST_F(Dialogs, QueuedDialogsOpenOneAfterAnotherOldestFirst) {
  Answers({"ok", "ok", "ok"});
  ::testing::internal::CaptureStderr();
  const int32_t a = int32_t(Real("show_message_async", {"one"}));
  const int32_t b = int32_t(Real("show_message_async", {"two"}));
  const int32_t c = int32_t(Real("show_message_async", {"three"}));
  EXPECT_EQ(AsyncDialog_OpenId(), a);
  AsyncDialog_Poll();
  AsyncDialog_Poll();
  // Answered, but the next waits until the first one's result is delivered.
  EXPECT_EQ(AsyncDialog_OpenId(), -1);
  EXPECT_EQ(AsyncRequest_Find(b)->state, kAsyncMade);
  Result r = Complete(a);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.keys, 2);
  EXPECT_EQ(AsyncDialog_OpenId(), b);
  AsyncDialog_Poll();
  Complete(b);
  EXPECT_EQ(AsyncDialog_OpenId(), c);
  AsyncDialog_Poll();
  Complete(c);
  EXPECT_EQ(AsyncDialog_OpenId(), -1);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_LT(err.find(": one"), err.find(": two"));
  EXPECT_LT(err.find(": two"), err.find(": three"));
}

// A shown dialog whose record goes away must not hold up the ones behind it.
TEST_F(Dialogs, ARecordDeletedWhileShownLetsTheNextOpen) {
  Answers({"ok first", "ok second"});
  ::testing::internal::CaptureStderr();
  const int32_t a = int32_t(Real("get_string_async", {"A", ""}));
  const int32_t b = int32_t(Real("get_string_async", {"B", ""}));
  EXPECT_EQ(AsyncDialog_OpenId(), a);
  AsyncRequest_Free(AsyncRequest_Find(a));
  AsyncDialog_Poll();
  EXPECT_EQ(AsyncDialog_OpenId(), b);
  AsyncDialog_Poll();
  EXPECT_EQ(Complete(b).result, "second");
  ::testing::internal::GetCapturedStderr();
}

// An id of another kind of request is not a dialog's to finish.
TEST_F(Dialogs, CompletionLeavesOtherRequestsAlone) {
  auto* other = new HTTP_REQ_CONTEXT("http://x", 4, nullptr, nullptr, nullptr);
  AsyncRequest_Add(other);
  AsyncDialog_Complete(other->id, 1, "OK");
  AsyncDialog_CompleteLogin(other->id, 3, "joe#pw");
  AsyncDialog_Complete(other->id + 100, 1, "OK");
  EXPECT_EQ(other->state, kAsyncMade);
  EXPECT_EQ(other->http_status, 200);
  EXPECT_EQ(other->data.size(), 4u);
}

TEST_F(Dialogs, LongAnswersAreCutWholeCharacters) {
  Answers({"ok " + std::string(kDialogAnswerBuffer - 2, 'a') + "\xC3\xA9"});
  ::testing::internal::CaptureStderr();
  const std::string answer = Text("get_string", {"Long?", ""});
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(answer, std::string(kDialogAnswerBuffer - 2, 'a'));
}

TEST_F(Dialogs, FileDialogsWidenTheSandboxOnlyForAChosenPath) {
  const std::string outside = ::testing::TempDir() + "tw-picked-" + std::to_string(::getpid()) + "/name";
  const std::string cwd = Path_WorkingDirectory();
  Answers({"cancel", "ok " + outside, "ok " + outside + ".dat", "ok /tmp/x.txt"});
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Text("get_open_filename", {"Text|*.txt", ""}), "");
  // The default extension comes from the first pattern.
  EXPECT_EQ(Text("get_save_filename", {"Text|*.txt|All|*.*", "name"}), outside + ".txt");
  EXPECT_EQ(LoadSave_MapToSaveArea(outside + ".txt"), outside + ".txt");
  EXPECT_EQ(Text("get_save_filename_ext", {"Text|*.txt", "", "", "Save as"}), outside + ".dat");
  // Wrong arguments: no dialog, no answer used.
  EXPECT_EQ(Text("get_open_filename", {"Text|*.txt", 1.0}), "");
  EXPECT_EQ(Text("get_open_filename_ext", {"Text|*.txt", ""}), "");
  EXPECT_EQ(Text("get_open_filename_ext", {"Text|*.txt", "", "", ""}), "/tmp/x.txt");
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(Path_WorkingDirectory(), cwd);
}

TEST_F(Dialogs, UnsupportedBuiltinsSayWhatTheyLack) {
  struct Case {
    const char* name;
    int args;
    const char* line;
  };
  const Case cases[] = {
      {"show_info", 0, "show_info(str) not supported\n"},
      {"load_info", 1, "load_info(str) not supported\n"},
      {"show_message_ext", 4, "show_message_ext(str,but1,but2,but3) not impleneted\n"},
      {"message_background", 1, "message_background(back) not impleneted\n"},
      {"message_button", 1, "message_button(spr) not impleneted\n"},
      {"message_alpha", 1, "message_alpha(alpha) not impleneted\n"},
      {"message_text_font", 4, "message_text_font(name,size,color,style) not impleneted\n"},
      {"message_button_font", 4, "message_button_font(name,size,color,style) not impleneted\n"},
      {"message_input_font", 4, "message_input_font(name,size,color,style) not impleneted\n"},
      {"message_mouse_color", 1, "message_mouse_color(col) not impleneted\n"},
      {"message_input_color", 1, "message_input_color(col) not impleneted\n"},
      {"message_position", 2, "message_position(x,y) not impleneted\n"},
      {"message_size", 2, "message_size(w,h)not impleneted\n"},
      {"message_caption", 2, "message_caption(show,str) not impleneted\n"},
      {"show_menu", 2, "show_menu(str,default) not implemented.\n"},
      {"show_menu_pos", 4, "show_menu_pos(X,Y,str,default) not implemented.\n"},
      {"get_color", 1, "get_color(def) is not implemented\n"},
      {"get_directory", 1, "get_directory(dname) not implemented.\n"},
      {"get_directory_alt", 2, "get_directory_alt(capt,root) not implemented.\n"},
  };
  for (const Case& c : cases) {
    console_.text.clear();
    ScriptValue r = Call(c.name, std::vector<Arg>(size_t(c.args), Arg(0.0)));
    EXPECT_EQ(console_.text, c.line) << c.name;
    ScriptValue_Free(&r);
  }
  EXPECT_EQ(Real("show_message_ext", {"a", "b", "c", "d"}), 1);
  EXPECT_EQ(Text("get_directory", {""}), "");
  // The splash back ends show nothing and never fail.
  console_.text.clear();
  ::testing::internal::CaptureStderr();
  ScriptValue r = Call("splash_show_video", {"missing.ogv", 1.0});
  ScriptValue_Free(&r);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(console_.text, "");
}

}  // namespace
