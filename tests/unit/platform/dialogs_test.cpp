// The zenity side of the dialogs, with a stand-in zenity on the PATH that
// records its arguments and answers as a script says: the arguments reach it
// one by one (no shell), its output and exit status become the answer, and
// an open dialog is polled without blocking.
#include <gtest/gtest.h>
#include <unistd.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/dialogs.h"

namespace {

class SavedEnv {
 public:
  explicit SavedEnv(const char* name) : name_(name) {
    if (const char* v = std::getenv(name)) value_ = v;
  }
  ~SavedEnv() {
    if (value_)
      setenv(name_, value_->c_str(), 1);
    else
      unsetenv(name_);
  }
  SavedEnv(const SavedEnv&) = delete;
  SavedEnv& operator=(const SavedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> value_;
};

class ZenityDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ::testing::TempDir() + "tw-zenity-" + std::to_string(::getpid());
    mkdir(dir_.c_str(), 0700);
    setenv("PATH", (dir_ + ":" + path_).c_str(), 1);
    setenv("DISPLAY", ":77", 1);
    unsetenv("TARNWICKE_NO_DIALOGS");
    unsetenv("SDL_VIDEODRIVER");
  }
  void TearDown() override {
    std::remove((dir_ + "/zenity").c_str());
    std::remove((dir_ + "/args").c_str());
    rmdir(dir_.c_str());
  }

  // The stand-in prints `output` and exits with `status`.
  void Zenity(const std::string& output, int status) {
    const std::string script = dir_ + "/zenity";
    std::ofstream out(script, std::ios::trunc);
    out << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n--\\n' \"$a\"; done > '" << dir_ << "/args'\n"
        << "printf '" << output << "'\nexit " << status << "\n";
    out.close();
    chmod(script.c_str(), 0700);
  }
  std::vector<std::string> Args() const {
    std::ifstream in(dir_ + "/args");
    std::stringstream all;
    all << in.rdbuf();
    std::vector<std::string> args;
    std::string text = all.str();
    for (size_t pos = 0; pos < text.size();) {
      const size_t end = text.find("\n--\n", pos);
      if (end == std::string::npos) break;
      args.push_back(text.substr(pos, end - pos));
      pos = end + 4;
    }
    return args;
  }

  // The request's answer from the stand-in, which prints `output` and exits
  // with `status`; the dialog's line on stderr is swallowed.
  DialogAnswer Run(const DialogRequest& q, const std::string& output, int status) {
    Zenity(output, status);
    testing::internal::CaptureStderr();
    DialogAnswer a = Dialog_Run(q);
    testing::internal::GetCapturedStderr();
    return a;
  }

  std::string path_ = std::getenv("PATH") ? std::getenv("PATH") : "";
  SavedEnv savedPath_{"PATH"}, savedDisplay_{"DISPLAY"}, savedNo_{"TARNWICKE_NO_DIALOGS"},
      savedDriver_{"SDL_VIDEODRIVER"};
  std::string dir_;
};

TEST_F(ZenityDialogs, ModalInputTakesTheOutputAndArgumentsArriveWhole) {
  const DialogAnswer a = Run({DialogKind::kInput, "My Game", "Name & <rank>;\rnext $(rm -rf x)", "de fault", ""},
                             "typed text\\n", 0);
  EXPECT_TRUE(a.ok);
  EXPECT_EQ(a.text, "typed text");
  const std::vector<std::string> expected{"--entry", "--title=My Game",
                                          "--text=Name &amp; &lt;rank&gt;;\nnext $(rm -rf x)",
                                          "--entry-text=de fault"};
  EXPECT_EQ(Args(), expected);
}

TEST_F(ZenityDialogs, ExitStatusOneIsCancelAndAMessageIsAlwaysOk) {
  Zenity("ignored\\n", 1);
  testing::internal::CaptureStderr();
  DialogRequest q;
  q.kind = DialogKind::kQuestion;
  EXPECT_FALSE(Dialog_Run(q).ok);
  q.kind = DialogKind::kInput;
  const DialogAnswer cancelled = Dialog_Run(q);
  EXPECT_FALSE(cancelled.ok);
  EXPECT_EQ(cancelled.text, "");
  q.kind = DialogKind::kMessage;
  EXPECT_TRUE(Dialog_Run(q).ok);
  testing::internal::GetCapturedStderr();
}

TEST_F(ZenityDialogs, AsynchronousLoginIsPolledUntilItEnds) {
  Zenity("joe\\na|b#c\\n", 0);
  DialogRequest q;
  q.kind = DialogKind::kLogin;
  testing::internal::CaptureStderr();
  std::unique_ptr<OpenDialog> d = Dialog_Open(q);
  DialogAnswer a;
  bool done = false;
  for (int i = 0; i < 1000 && !done; ++i) {
    done = d->Poll(&a);
    if (!done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  testing::internal::GetCapturedStderr();
  ASSERT_TRUE(done);
  EXPECT_TRUE(a.ok);
  EXPECT_EQ(a.text, "joe");
  EXPECT_EQ(a.password, "a|b#c");
}

TEST_F(ZenityDialogs, SaveDialogGetsFiltersAndTheDefaultExtension) {
  const DialogAnswer a =
      Run({DialogKind::kSaveFile, "Save", "start", "/home/p", "Text|*.txt;*.text|All|*.*"}, "/home/p/name\\n", 0);
  EXPECT_EQ(a.text, "/home/p/name.txt");
  const std::vector<std::string> expected{"--file-selection",           "--save", "--title=Save",
                                          "--filename=/home/p/start",   "--file-filter=Text | *.txt *.text",
                                          "--file-filter=All | *.*"};
  EXPECT_EQ(Args(), expected);
}

}  // namespace
