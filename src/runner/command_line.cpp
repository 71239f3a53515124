#include "runner/command_line.h"

#include "audio/audio.h"
#include "script/console.h"
#include "runner/entry.h"
#include "runner/profiler.h"
#include "ext/extensions.h"
#include "graphics/graphics.h"
#include "input/input.h"
#include "physics/physics.h"
#include "script/errors.h"
#include "script/vm.h"

std::string CommandLine_FromArgs(int argc, const char* const* argv) {
  std::string text;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i] ? argv[i] : "";
    bool quote = arg.empty();
    for (unsigned char c : arg)
      if (c < '!') quote = true;
    if (i) text += ' ';
    text += quote ? "\"" + arg + "\"" : arg;
  }
  if (text.size() > kCommandLineMax) text.resize(kCommandLineMax);
  return text;
}

size_t CommandLine_NextToken(const std::string& text, size_t pos, std::string& token) {
  token.clear();
  while (pos < text.size() && static_cast<unsigned char>(text[pos]) < '!') ++pos;
  bool quoted = false;
  for (; pos < text.size(); ++pos) {
    unsigned char c = static_cast<unsigned char>(text[pos]);
    if (c == '"') {
      quoted = !quoted;
      continue;
    }
    if (c < '!' && !quoted) break;
    // An over-long token is cut; the rest of it is still consumed.
    if (token.size() < kCommandTokenMax) token += char(c);
  }
  return pos;
}

std::vector<std::string> CommandLine_Tokens(const std::string& text) {
  std::vector<std::string> tokens;
  std::string token;
  size_t pos = 0;
  while (pos < text.size()) {
    pos = CommandLine_NextToken(text, pos, token);
    // Blanks at the end yield an empty last token, which is not a token.
    if (!token.empty() || pos < text.size()) tokens.push_back(token);
  }
  return tokens;
}

void Runner_ParseCommandLine(const std::string& text) {
  g_DebugMode = false;
  g_NoExternalCalls = false;
  g_IORecord = false;
  g_IOPlayback = false;
  g_UseVM = true;
  g_NoAudio = false;
  g_InAWindow = false;
  g_ProfilerOverlayFlags = 0;

  std::string token;
  size_t pos = 0;
  auto fileArgument = [&]() {
    std::string arg;
    pos = CommandLine_NextToken(text, pos, arg);
    return arg;
  };
  while (pos < text.size()) {
    pos = CommandLine_NextToken(text, pos, token);
    if (token == "-debug") {
      if (!g_GameDataPath) {
        g_DebugMode = true;
        g_ProfilerOverlayFlags = 2;
        Physics_InstallAssertHook();
      }
    } else if (token == "-trace") {
      g_TraceVM = true;
    } else if (token == "-ext") {
      g_NoExternalCalls = true;
    } else if (token == "-noerrors") {
      g_ShowErrors = false;
    } else if (token == "-oldexec") {
      g_UseVM = false;
    } else if (token == "-noaudio") {
      g_NoAudio = true;
    } else if (token == "-inawindow") {
      g_InAWindow = true;
    } else if (token == "-game") {
      std::string arg = fileArgument();
      if (!g_GameDataPath) g_GameDataPath = arg;
    } else if (token == "-record") {
      g_IORecord = true;
      g_IOFileName = fileArgument();
    } else if (token == "-steam") {
      g_SteamMode = true;
    } else if (token == "-software") {
      g_SoftwareVertexProcessing = true;
    } else if (token == "-intel") {
      g_IntelWorkarounds = true;
    } else if (token == "-vanillaGFX") {
      g_VanillaGFX = true;
    } else if (token == "-playback") {
      g_IOPlayback = true;
      g_IOFileName = fileArgument();
    } else if (token == "-output") {
      Console_SetOutputFile(fileArgument());
    } else if (token == "-debugoutput") {
      Console_SetDebugOutputFile(fileArgument());
    }
  }
}
