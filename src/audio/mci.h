// Our own small MCI: command strings for music files (the "mpegvideo"
// device, MP3 through libmpg123 and OpenAL) and CD audio, which answers as a
// machine without a drive. Keywords and aliases ignore case.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

enum MciError : uint32_t {
  kMciOk = 0,
  kMciUnknownKeyword = 259,
  kMciUnknownCommand = 261,
  kMciNoAudioDevice = 262,
  kMciNoSuchDevice = 263,
  kMciUnsupportedType = 266,
  kMciEmptyCommand = 267,
  kMciMissingValue = 273,
  kMciFileNotFound = 275,
  kMciOutOfRange = 282,
  kMciAliasInUse = 289,
  kMciCannotPlayFile = 296,
};

// Runs one command; the reply (for "status") goes to `reply`, which is
// emptied first. kMciOk or the error.
uint32_t Mci_SendString(std::string_view command, std::string* reply);
// The text of an error code.
std::string Mci_ErrorString(uint32_t code);
// The alias is open and its play has come to its end by itself (not looping,
// not stopped by a command).
bool Mci_HasEnded(std::string_view alias);
// Closes every open alias (their OpenAL sources and buffers go).
void Mci_CloseAll();
// How many aliases are open.
size_t Mci_OpenCount();
