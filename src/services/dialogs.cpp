#include "services/dialogs.h"

#include <cstdlib>
#include <memory>

#include "ds/map.h"
#include "platform/dialogs.h"
#include "script/console.h"
#include "script/errors.h"

namespace {

// Newest first; the oldest, last, is the one shown.
DIALOG_REQ_CONTEXT* g_queue = nullptr;

// The open asynchronous dialog: its own state, apart from any modal one.
struct OpenAsync {
  int32_t id = -1;
  std::unique_ptr<OpenDialog> dialog;
};
OpenAsync g_open;

DIALOG_REQ_CONTEXT* Oldest() {
  DIALOG_REQ_CONTEXT* r = g_queue;
  while (r && r->next_queued) r = r->next_queued;
  return r;
}

bool Unqueue(DIALOG_REQ_CONTEXT* record) {
  for (DIALOG_REQ_CONTEXT** link = &g_queue; *link; link = &(*link)->next_queued) {
    if (*link != record) continue;
    *link = record->next_queued;
    record->next_queued = nullptr;
    return true;
  }
  return false;
}

void CloseOpen() {
  g_open.dialog.reset();
  g_open.id = -1;
}

AsyncCompletion CompletionOf(uint32_t type) {
  switch (type) {
    case kDialogMessage: return DialogResult_Message;
    case kDialogLogin: return DialogResult_Login;
    default: return DialogResult_Input;
  }
}

int32_t Queue(uint32_t type, const std::string& a, const std::string& b, const std::string& c) {
  Error_LeaveFullScreen();  // a dialog behind a full-screen game is never seen
  auto* record = new DIALOG_REQ_CONTEXT(type, a.c_str(), b.c_str(), c.c_str());
  AsyncRequest_Add(record);
  const bool wasEmpty = g_queue == nullptr;
  record->next_queued = g_queue;
  g_queue = record;
  if (wasEmpty) AsyncDialog_ShowNext();
  return record->id;
}

DialogRequest RequestFor(const DIALOG_REQ_CONTEXT& r) {
  DialogRequest q;
  switch (r.type) {
    case kDialogInput: q.kind = DialogKind::kInput; break;
    case kDialogQuestion: q.kind = DialogKind::kQuestion; break;
    case kDialogLogin: q.kind = DialogKind::kLogin; break;
    default: q.kind = DialogKind::kMessage; break;
  }
  if (r.type == kDialogLogin) {
    q.caption = "Login";
    q.text = r.first;
    q.value = r.second;
  } else {
    q.caption = r.first;
    q.text = r.second;
    q.value = Dialog_CutAnswer(r.third);
  }
  return q;
}

// What the dialog's buttons do with an answer, for the asynchronous forms.
void Deliver(uint32_t type, int32_t id, const DialogAnswer& a) {
  switch (type) {
    case kDialogInput:
      if (a.ok)
        AsyncDialog_Complete(id, 1, Dialog_CutAnswer(a.text));
      else
        AsyncDialog_Complete(id, 0, "");
      break;
    case kDialogQuestion:
      g_OutputConsole->Output(a.ok ? "Finished dialog - IDOK\n" : "Finished dialog - IDCANCEL\n");
      AsyncDialog_Complete(id, a.ok ? 1 : 0, a.ok ? "1" : "");
      break;
    case kDialogMessage:
      AsyncDialog_Complete(id, 1, "OK");
      break;
    case kDialogLogin:
      if (a.ok) {
        const std::string user = Dialog_CutAnswer(a.text);
        AsyncDialog_CompleteLogin(id, int32_t(user.size()), user + "#" + Dialog_CutAnswer(a.password));
      } else {
        AsyncDialog_CompleteLogin(id, 0, "");
      }
      break;
  }
}

// The finished dialog record of the id, or null.
DIALOG_REQ_CONTEXT* DialogRecord(int32_t id) { return dynamic_cast<DIALOG_REQ_CONTEXT*>(AsyncRequest_Find(id)); }

// The answer bytes up to the first NUL.
std::string AnswerText(const HTTP_REQ_CONTEXT& r) {
  std::string text(r.data.begin(), r.data.end());
  return text.substr(0, text.find('\0'));
}

}  // namespace

DIALOG_REQ_CONTEXT::DIALOG_REQ_CONTEXT(uint32_t t, const char* a, const char* b, const char* c)
    : HTTP_REQ_CONTEXT(nullptr, 0, CompletionOf(t), nullptr, nullptr),
      first(a ? a : ""),
      second(b ? b : ""),
      third(c ? c : ""),
      type(t) {}

DIALOG_REQ_CONTEXT::~DIALOG_REQ_CONTEXT() {
  Unqueue(this);
  if (g_open.id == id) CloseOpen();
}

std::string Dialog_CutAnswer(const std::string& text) {
  size_t n = std::min(text.size(), kDialogAnswerBuffer - 1);
  // Back over the continuation bytes of a character the limit splits.
  if (n < text.size())
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return text.substr(0, n);
}

bool InputQuery_Show(const std::string& caption, const std::string& prompt, const std::string& defaultText,
                     std::string* answer) {
  Error_LeaveFullScreen();
  DialogRequest q;
  q.kind = DialogKind::kInput;
  q.caption = caption;
  q.text = prompt;
  q.value = Dialog_CutAnswer(defaultText);
  const DialogAnswer a = Dialog_Run(q);
  if (!a.ok) return false;
  *answer = Dialog_CutAnswer(a.text);
  return true;
}

bool Question_Show(const std::string& caption, const std::string& question) {
  Error_LeaveFullScreen();
  DialogRequest q;
  q.kind = DialogKind::kQuestion;
  q.caption = caption;
  q.text = question;
  const bool yes = Dialog_Run(q).ok;
  g_OutputConsole->Output(yes ? "Finished dialog - IDOK\n" : "Finished dialog - IDCANCEL\n");
  return yes;
}

int32_t AsyncDialog_Input(const std::string& caption, const std::string& prompt, const std::string& defaultText) {
  return Queue(kDialogInput, caption, prompt, defaultText);
}
int32_t AsyncDialog_Question(const std::string& caption, const std::string& question) {
  return Queue(kDialogQuestion, caption, question, "");
}
int32_t AsyncDialog_Message(const std::string& caption, const std::string& message) {
  return Queue(kDialogMessage, caption, message, "");
}
int32_t AsyncDialog_Login(const std::string& userName, const std::string& password) {
  return Queue(kDialogLogin, userName, password, "");
}

void AsyncDialog_ShowNext() {
  DIALOG_REQ_CONTEXT* r = Oldest();
  // An answered dialog waits in the queue for its event; nothing opens
  // beside it.
  if (!r || r->state == kAsyncFinished || g_open.id == r->id) return;
  CloseOpen();
  g_open.dialog = Dialog_Open(RequestFor(*r));
  g_open.id = r->id;
}

void AsyncDialog_Finish(DIALOG_REQ_CONTEXT* record) {
  Unqueue(record);
  if (g_open.id == record->id) CloseOpen();
  AsyncDialog_ShowNext();
}

void AsyncDialog_Complete(int32_t id, int32_t status, const std::string& answer) {
  DIALOG_REQ_CONTEXT* r = DialogRecord(id);
  if (!r) return;
  r->state = kAsyncFinished;
  r->http_status = status;
  r->data.assign(answer.begin(), answer.end());
  r->data.push_back(0);
  r->received = int32_t(r->data.size());
}

void AsyncDialog_CompleteLogin(int32_t id, int32_t n, const std::string& answer) {
  DIALOG_REQ_CONTEXT* r = DialogRecord(id);
  if (!r) return;
  if (n < 0 || size_t(n) > answer.size()) n = 0;
  r->state = kAsyncFinished;
  r->data.assign(answer.begin(), answer.end());
  r->data.push_back(0);
  r->received = n;
  r->http_status = n;
  if (n != 0) {
    r->data[size_t(n)] = 0;  // the separator
    r->http_status = n + 1;
  }
}

void AsyncDialog_Poll() {
  if (g_open.dialog) {
    DialogAnswer a;
    if (!g_open.dialog->Poll(&a)) return;
    const int32_t id = g_open.id;
    DIALOG_REQ_CONTEXT* r = DialogRecord(id);
    g_open.dialog.reset();  // answered: the window is gone; the id stays until Finish
    if (r) Deliver(r->type, id, a);
    return;
  }
  // A shown record that went away without its answer leaves the next one
  // waiting: open it now.
  if (g_open.id >= 0 && DialogRecord(g_open.id)) return;
  g_open.id = -1;
  AsyncDialog_ShowNext();
}

int32_t AsyncDialog_OpenId() { return g_open.dialog ? g_open.id : -1; }

int DialogResult_Input(HTTP_REQ_CONTEXT* record, IBuffer*, int32_t* mapId) {
  const std::string answer = AnswerText(*record);
  *mapId = DS_MapCreateFromPairs({{"id", double(record->id)},
                                  {"result", 0.0, answer.c_str()},
                                  {"value", std::atof(answer.c_str())},
                                  {"status", double(record->http_status)}});
  AsyncDialog_Finish(static_cast<DIALOG_REQ_CONTEXT*>(record));
  return kDialogEventSubtype;
}

int DialogResult_Message(HTTP_REQ_CONTEXT* record, IBuffer*, int32_t* mapId) {
  *mapId = DS_MapCreateFromPairs({{"id", double(record->id)}, {"status", double(record->http_status)}});
  AsyncDialog_Finish(static_cast<DIALOG_REQ_CONTEXT*>(record));
  return kDialogEventSubtype;
}

int DialogResult_Login(HTTP_REQ_CONTEXT* record, IBuffer*, int32_t* mapId) {
  const std::vector<uint8_t>& d = record->data;
  const size_t n = size_t(record->received);
  const size_t length = d.empty() ? 0 : d.size() - 1;  // the answer without its final NUL
  const std::string user(d.begin(), d.begin() + std::ptrdiff_t(std::min(n, length)));
  const std::string password =
      n < length ? std::string(d.begin() + std::ptrdiff_t(n) + 1, d.begin() + std::ptrdiff_t(length)) : "";
  *mapId = DS_MapCreateFromPairs({{"id", double(record->id)},
                                  {"username", 0.0, user.c_str()},
                                  {"password", 0.0, password.c_str()},
                                  {"status", double(record->http_status)}});
  AsyncDialog_Finish(static_cast<DIALOG_REQ_CONTEXT*>(record));
  return kDialogEventSubtype;
}
