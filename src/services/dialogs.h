// The game's dialogs: modal ones that give their answer at once, and
// asynchronous ones that queue up, open one at a time (oldest first) and
// deliver their answer as asynchronous event 63 with a result map. Their
// records live in the asynchronous request list, so the step's pump
// completes them like any other request.
#pragma once
#include <cstdint>
#include <string>

#include "core/async_requests.h"

// The subtype of the asynchronous event of every dialog.
constexpr int kDialogEventSubtype = 63;
// An answer buffer's size: the longest answer is one byte shorter.
constexpr size_t kDialogAnswerBuffer = 8194;

enum DialogType : uint32_t { kDialogInput = 0, kDialogQuestion = 1, kDialogMessage = 2, kDialogLogin = 3 };

class DIALOG_REQ_CONTEXT : public HTTP_REQ_CONTEXT {
 public:
  DIALOG_REQ_CONTEXT(uint32_t type, const char* first, const char* second, const char* third);
  // A record deleted while queued leaves the queue; its window closes.
  ~DIALOG_REQ_CONTEXT() override;

  DIALOG_REQ_CONTEXT* next_queued = nullptr;
  // Input: caption, prompt, default. Question and message: caption, text.
  // Login: default user name and password.
  std::string first, second, third;
  uint32_t type;
};

// Modal: true on OK with the answer; Cancel leaves *answer alone.
bool InputQuery_Show(const std::string& caption, const std::string& prompt, const std::string& defaultText,
                     std::string* answer);
// True for Yes.
bool Question_Show(const std::string& caption, const std::string& question);

// Asynchronous: each queues a dialog and gives its request's id.
int32_t AsyncDialog_Input(const std::string& caption, const std::string& prompt, const std::string& defaultText);
int32_t AsyncDialog_Question(const std::string& caption, const std::string& question);
int32_t AsyncDialog_Message(const std::string& caption, const std::string& message);
int32_t AsyncDialog_Login(const std::string& userName, const std::string& password);

// Opens the oldest queued dialog (nothing when the queue is empty).
void AsyncDialog_ShowNext();
// The record's result is delivered: it leaves the queue and the next opens.
void AsyncDialog_Finish(DIALOG_REQ_CONTEXT* record);
// A dialog's answer: the record with the id is finished with the status and
// the answer. An id that names no dialog record changes nothing.
void AsyncDialog_Complete(int32_t id, int32_t status, const std::string& answer);
// The login's answer "user#password"; n is the user name's length.
void AsyncDialog_CompleteLogin(int32_t id, int32_t n, const std::string& answer);
// Once a step: the open dialog's answer, when it has come.
void AsyncDialog_Poll();
// The id of the open asynchronous dialog, -1 when none is open.
int32_t AsyncDialog_OpenId();

// The completions (each returns 63 after finishing the record).
int DialogResult_Input(HTTP_REQ_CONTEXT* record, IBuffer* buffer, int32_t* mapId);
int DialogResult_Message(HTTP_REQ_CONTEXT* record, IBuffer* buffer, int32_t* mapId);
int DialogResult_Login(HTTP_REQ_CONTEXT* record, IBuffer* buffer, int32_t* mapId);

// The text cut to fit an answer buffer, never inside a character.
std::string Dialog_CutAnswer(const std::string& text);
