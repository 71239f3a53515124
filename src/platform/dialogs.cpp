#include "platform/dialogs.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <vector>

#include "platform/message_box.h"

extern char** environ;

namespace {

const char* KindName(DialogKind kind) {
  switch (kind) {
    case DialogKind::kInput: return "input";
    case DialogKind::kQuestion: return "question";
    case DialogKind::kMessage: return "message";
    case DialogKind::kLogin: return "login";
    case DialogKind::kOpenFile: return "open file";
    case DialogKind::kSaveFile: return "save file";
  }
  return "dialog";
}

void Announce(const DialogRequest& r) {
  // The login dialog's texts are its defaults, a password among them.
  const std::string text = r.kind == DialogKind::kLogin ? "Username, Password" : MessageBox_TerminalText(r.text);
  std::fprintf(stderr, "%s dialog: %s: %s\n", KindName(r.kind), r.caption.c_str(), text.c_str());
  std::fflush(stderr);
}

// The save dialog's default extension: after the first '.' that follows the
// first '|', up to the next separator; none when it holds a wildcard.
std::string DefaultExtension(const std::string& filter) {
  const size_t bar = filter.find('|');
  if (bar == std::string::npos) return "";
  const size_t dot = filter.find('.', bar);
  if (dot == std::string::npos) return "";
  const size_t end = filter.find_first_of("|;", dot);
  std::string ext = filter.substr(dot + 1, end == std::string::npos ? std::string::npos : end - dot - 1);
  if (ext.find_first_of("*? ") != std::string::npos) return "";
  return ext;
}

void AddDefaultExtension(const DialogRequest& r, DialogAnswer* a) {
  if (r.kind != DialogKind::kSaveFile || !a->ok || a->text.empty()) return;
  const size_t slash = a->text.rfind('/');
  const std::string name = a->text.substr(slash == std::string::npos ? 0 : slash + 1);
  const std::string ext = DefaultExtension(r.filter);
  if (!name.empty() && name.find('.') == std::string::npos && !ext.empty()) a->text += "." + ext;
}

// ---- Scripted answers ----------------------------------------------------------

struct AnswerFile {
  bool loaded = false;
  std::vector<std::string> lines;
  size_t next = 0;
};
AnswerFile g_answers;

// The next scripted answer; false when there is no answer file.
bool ScriptedAnswer(DialogKind kind, DialogAnswer* a) {
  const char* path = std::getenv("TARNWICKE_DIALOG_ANSWERS");
  if (!path || !*path) return false;
  if (!g_answers.loaded) {
    g_answers.loaded = true;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      g_answers.lines.push_back(line);
    }
  }
  *a = DialogAnswer{};
  if (g_answers.next >= g_answers.lines.size()) return true;  // answers used up: cancelled
  const std::string line = g_answers.lines[g_answers.next++];
  const size_t space = line.find(' ');
  const std::string word = line.substr(0, space);
  const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
  if (word == "ok" || word == "yes") {
    a->ok = true;
    a->text = rest;
  } else if (word == "login") {
    a->ok = true;
    const size_t tab = rest.find('\t');
    a->text = rest.substr(0, tab);
    a->password = tab == std::string::npos ? "" : rest.substr(tab + 1);
  }
  // A message has only its OK button.
  if (kind == DialogKind::kMessage) a->ok = true;
  std::fprintf(stderr, "answered: %s\n", line.c_str());
  std::fflush(stderr);
  return true;
}

// An answer known when the dialog opens.
class AnsweredDialog : public OpenDialog {
 public:
  explicit AnsweredDialog(DialogAnswer answer) : answer_(std::move(answer)) {}
  bool Poll(DialogAnswer* answer) override {
    *answer = answer_;
    return true;
  }

 private:
  DialogAnswer answer_;
};

// ---- zenity --------------------------------------------------------------------

bool ZenityAvailable() {
  if (!MessageBox_CanShowWindows()) return false;
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::string dirs = path;
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    if (dir.empty()) dir = ".";
    if (access((dir + "/zenity").c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// zenity reads its texts as markup.
std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : MessageBox_TerminalText(text)) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else
      out += c;
  }
  return out;
}

std::vector<std::string> ZenityArguments(const DialogRequest& r) {
  std::vector<std::string> a{"zenity"};
  switch (r.kind) {
    case DialogKind::kInput:
      a.insert(a.end(), {"--entry", "--title=" + r.caption, "--text=" + Escaped(r.text), "--entry-text=" + r.value});
      break;
    case DialogKind::kQuestion:
      a.insert(a.end(), {"--question", "--title=" + r.caption, "--text=" + Escaped(r.text), "--ok-label=Yes",
                         "--cancel-label=No"});
      break;
    case DialogKind::kMessage:
      a.insert(a.end(), {"--info", "--title=" + r.caption, "--text=" + Escaped(r.text)});
      break;
    case DialogKind::kLogin:
      // zenity cannot fill the entries in, so the defaults are not shown.
      a.insert(a.end(), {"--forms", "--title=Login", "--text=Login", "--add-entry=Username",
                         "--add-password=Password", "--separator=\n"});
      break;
    case DialogKind::kOpenFile:
    case DialogKind::kSaveFile: {
      a.push_back("--file-selection");
      if (r.kind == DialogKind::kSaveFile) a.push_back("--save");
      if (!r.caption.empty()) a.push_back("--title=" + r.caption);
      std::string start = r.value.empty() ? r.text : r.value + "/" + r.text;
      if (!start.empty()) a.push_back("--filename=" + start);
      // "description|pattern;pattern|..." as zenity's "description | pattern pattern".
      size_t pos = 0;
      while (pos < r.filter.size()) {
        size_t bar = r.filter.find('|', pos);
        if (bar == std::string::npos) break;
        size_t end = r.filter.find('|', bar + 1);
        if (end == std::string::npos) end = r.filter.size();
        std::string patterns = r.filter.substr(bar + 1, end - bar - 1);
        for (char& c : patterns)
          if (c == ';') c = ' ';
        a.push_back("--file-filter=" + r.filter.substr(pos, bar - pos) + " | " + patterns);
        pos = end + 1;
      }
      break;
    }
  }
  return a;
}

class ZenityDialog : public OpenDialog {
 public:
  ZenityDialog(DialogRequest request, int pid, int fd) : request_(std::move(request)), pid_(pid), fd_(fd) {}
  ~ZenityDialog() override {
    if (fd_ >= 0) close(fd_);
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
    }
  }

  bool Poll(DialogAnswer* answer) override {
    Drain();
    if (pid_ <= 0) return false;
    int status = 0;
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == 0 || (r < 0 && errno == EINTR)) return false;
    pid_ = -1;
    Drain();
    *answer = Parse(r > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return true;
  }

 private:
  void Drain() {
    if (fd_ < 0) return;
    char chunk[4096];
    for (;;) {
      ssize_t n = read(fd_, chunk, sizeof chunk);
      if (n > 0) {
        out_.append(chunk, size_t(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n == 0) {
        close(fd_);
        fd_ = -1;
      }
      return;
    }
  }

  DialogAnswer Parse(bool ok) const {
    DialogAnswer a;
    a.ok = ok || request_.kind == DialogKind::kMessage;
    if (!ok) return a;
    std::string text = out_;
    if (!text.empty() && text.back() == '\n') text.pop_back();
    if (request_.kind == DialogKind::kLogin) {
      const size_t nl = text.find('\n');
      a.text = text.substr(0, nl);
      a.password = nl == std::string::npos ? "" : text.substr(nl + 1);
    } else if (request_.kind != DialogKind::kQuestion && request_.kind != DialogKind::kMessage) {
      a.text = text;
    }
    return a;
  }

  DialogRequest request_;
  int pid_;
  int fd_;
  std::string out_;
};

std::unique_ptr<OpenDialog> StartZenity(const DialogRequest& request) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return nullptr;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const std::vector<std::string> args = ZenityArguments(request);
  std::vector<char*> argv;
  for (const std::string& s : args) argv.push_back(const_cast<char*>(s.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, "zenity", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (rc != 0) {
    close(pipeFds[0]);
    return nullptr;
  }
  fcntl(pipeFds[0], F_SETFL, fcntl(pipeFds[0], F_GETFL) | O_NONBLOCK);
  return std::make_unique<ZenityDialog>(request, int(pid), pipeFds[0]);
}

}  // namespace

std::unique_ptr<OpenDialog> Dialog_Open(const DialogRequest& request) {
  Announce(request);
  DialogAnswer answer;
  if (ZenityAvailable()) {
    if (std::unique_ptr<OpenDialog> d = StartZenity(request)) return d;
  } else if (ScriptedAnswer(request.kind, &answer)) {
    return std::make_unique<AnsweredDialog>(answer);
  }
  // Nothing can ask the player: cancelled (a message is only ever OK).
  answer.ok = request.kind == DialogKind::kMessage;
  return std::make_unique<AnsweredDialog>(answer);
}

DialogAnswer Dialog_Run(const DialogRequest& request) {
  std::unique_ptr<OpenDialog> d = Dialog_Open(request);
  DialogAnswer answer;
  while (!d->Poll(&answer)) {
    timespec ts{0, 10'000'000};
    nanosleep(&ts, nullptr);
  }
  AddDefaultExtension(request, &answer);
  return answer;
}

void Dialog_RewindAnswers() { g_answers = AnswerFile{}; }
