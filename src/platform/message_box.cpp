#include "platform/message_box.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

bool MessageBox_CanShowWindows() {
  const char* off = std::getenv("TARNWICKE_NO_DIALOGS");
  if (off && *off && std::strcmp(off, "0") != 0) return false;
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) return false;
  const char* x = std::getenv("DISPLAY");
  const char* wl = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (wl && *wl);
}

void MessageBox_Show(const char* caption, const char* text) {
  // Message texts break their lines with carriage returns; the terminal
  // wants line feeds.
  std::fprintf(stderr, "%s: ", caption);
  for (const char* p = text; *p; ++p)
    if (!(p[0] == '\r' && p[1] == '\n')) std::fputc(*p == '\r' ? '\n' : *p, stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  if (MessageBox_CanShowWindows()) SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, nullptr);
}

namespace {
std::string g_gameCaption = "Tarnwicke";
}  // namespace

void MessageBox_SetGameCaption(const std::string& caption) { g_gameCaption = caption; }

const std::string& MessageBox_GameCaption() { return g_gameCaption; }

std::string MessageBox_TerminalText(const std::string& text) {
  std::string lines;
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lines += text[i] == '\r' ? '\n' : text[i];
  return lines;
}

void MessageBox_Show(const std::string& caption, const std::string& text) {
  MessageBox_Show(caption.c_str(), MessageBox_TerminalText(text).c_str());
}

bool MessageBox_AskAbort(const std::string& caption, const std::string& text, bool ignoreAllowed) {
  const std::string plain = MessageBox_TerminalText(text);
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), plain.c_str());
  std::fflush(stderr);
  if (!MessageBox_CanShowWindows()) {
    const char* answer = std::getenv("TARNWICKE_ERROR_ANSWER");
    if (answer && std::strcmp(answer, "abort") == 0) return true;
    if (answer && std::strcmp(answer, "ignore") == 0) return !ignoreAllowed;
    return !ignoreAllowed;
  }
  SDL_MessageBoxButtonData buttons[2] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Abort"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "Ignore"},
  };
  SDL_MessageBoxData data{SDL_MESSAGEBOX_ERROR, nullptr, caption.c_str(), text.c_str(), ignoreAllowed ? 2 : 1,
                          buttons, nullptr};
  int pressed = 1;
  if (SDL_ShowMessageBox(&data, &pressed) != 0) return !ignoreAllowed;
  return pressed == 1;
}
