// Message boxes. The text always goes to stderr; a window is shown only when
// a display is present and dialogs are not switched off, so nothing ever
// blocks on a machine without a display.
#pragma once
#include <string>

void MessageBox_Show(const std::string& caption, const std::string& text);
// The caption of the game's own boxes ("Tarnwicke" until the game names it).
void MessageBox_SetGameCaption(const std::string& caption);
const std::string& MessageBox_GameCaption();
// The same without allocating: what the out-of-memory handler can still do.
void MessageBox_Show(const char* caption, const char* text);
// A question with Abort (and, when allowed, Ignore); true for Abort. Without
// windows the text goes to stderr and the answer is TARNWICKE_ERROR_ANSWER
// ("abort" or "ignore"), else Ignore when allowed, else Abort.
bool MessageBox_AskAbort(const std::string& caption, const std::string& text, bool ignoreAllowed);
// True when boxes and dialogs may open windows (a display, and no
// TARNWICKE_NO_DIALOGS in the environment).
bool MessageBox_CanShowWindows();
// A box's text as a terminal shows it: its carriage-return line breaks (alone
// or before a line feed) become line feeds.
std::string MessageBox_TerminalText(const std::string& text);
