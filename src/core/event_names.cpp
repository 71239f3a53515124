#include "core/event_names.h"

#include "core/objects.h"

std::string Key_Name(int code) {
  switch (code) {
    case 0: return "<no key>";
    case 1: return "<any key>";
    case 8: return "<Backspace>";
    case 9: return "<Tab>";
    case 13: return "<Enter>";
    case 16: return "<Shift>";
    case 17: return "<Ctrl>";
    case 18: return "<Alt>";
    case 27: return "<Escape>";
    case 32: return "<Space>";
    case 33: return "<Page Up>";
    case 34: return "<Page Down>";
    case 35: return "<End>";
    case 36: return "<Home>";
    case 37: return "<Left>";
    case 38: return "<Up>";
    case 39: return "<Right>";
    case 40: return "<Down>";
    case 45: return "<Insert>";
    case 46: return "<Delete>";
    case 106: return "Keypad *";
    case 107: return "Keypad +";
    case 109: return "Keypad -";
    case 110: return "Keypad .";
    case 111: return "Keypad /";
  }
  if ((code >= 48 && code <= 57) || (code >= 65 && code <= 90)) return std::string(1, char(code)) + "-key";
  if (code >= 96 && code <= 105) return "Keypad-" + std::to_string(code - 96);
  if (code >= 112 && code <= 123) return "F" + std::to_string(code - 111);
  return "<unknown>";
}

std::string MouseEvent_Name(int s) {
  static const char* const kBase[] = {"Left Button",    "Right Button",   "Middle Button",   "No Button",
                                      "Left Pressed",   "Right Pressed",  "Middle Pressed",  "Left Released",
                                      "Right Released", "Middle Released", "Mouse Enter",   "Mouse Leave"};
  static const char* const kStick[] = {"Left", "Right", "Up", "Down"};
  static const char* const kGlob[] = {"Glob Left Button",    "Glob Right Button",  "Glob Middle Button",
                                      "Glob Left Pressed",   "Glob Right Pressed", "Glob Middle Pressed",
                                      "Glob Left Released",  "Glob Right Released", "Glob Middle Released"};
  if (s >= 0 && s <= 11) return kBase[s];
  for (int pad = 1; pad <= 2; ++pad) {
    int base = pad == 1 ? 16 : 31;
    if (s >= base && s <= base + 3) return "Joystick " + std::to_string(pad) + " " + kStick[s - base];
    if (s >= base + 5 && s <= base + 12)
      return "Joystick " + std::to_string(pad) + " Button " + std::to_string(s - base - 4);
  }
  if (s >= 50 && s <= 58) return kGlob[s - 50];
  if (s == 60) return "Mouse Wheel Up";
  if (s == 61) return "Mouse Wheel Down";
  return "<unknown>";
}

std::string OtherEvent_Name(int s) {
  static const char* const kBase[] = {"Outside Room", "Intersect Boundary", "Game Start",  "Game End",
                                      "Room Start",   "Room End",           "No More Lives", "Animation End",
                                      "End Of Path",  "No More Health"};
  if (s >= 0 && s <= 9) return kBase[s];
  if (s >= 10 && s <= 25) return "User Defined " + std::to_string(s - 10);
  if (s == 30) return "Close Button";
  if (s >= 40 && s <= 47) return "Outside View " + std::to_string(s - 40);
  if (s >= 50 && s <= 57) return "Boundary View " + std::to_string(s - 50);
  return "<unknown>";
}

std::string AsyncEvent_Name(int s) {
  switch (s) {
    case 60: return "Image Loaded";
    case 61: return "Sound Loaded";
    case 62: return "HTTP";
    case 63: return "Dialog";
    case 66: return "IAP";
    case 67: return "Cloud";
    case 68: return "Networking";
    case 69: return "Steam";
    case 70: return "Social";
    case 71: return "Push";
  }
  return "<unknown>";
}

std::string StepKind_Name(int s) { return s == 1 ? "Begin" : s == 2 ? "End" : ""; }

std::string Event_Name(int type, int subtype) {
  switch (type) {
    case 0: return "Create Event";
    case 1: return "Destroy Event";
    case 2: return "Alarm Event for alarm " + std::to_string(subtype);
    case 3: return " Step Event" + std::to_string(subtype);
    case 4: return " Step Event" + Object_GetName(subtype);
    case 5: return "Keyboard Event for " + Key_Name(subtype) + " Key";
    case 6: return "Mouse Event for " + MouseEvent_Name(subtype);
    case 7:
      if (subtype >= 60) return "Async Event: " + AsyncEvent_Name(subtype);
      return "Other Event: " + OtherEvent_Name(subtype);
    case 8: return "Draw Event";
    case 9: return "Key Press Event for " + Key_Name(subtype) + " Key";
    case 10: return "Key Release Event for " + Key_Name(subtype) + " Key";
  }
  return "<Unknown Event>";
}

std::string Event_ShortName(int type, int subtype) {
  switch (type) {
    case 0: return "Create";
    case 1: return "Destroy";
    case 2: return "Alarm " + std::to_string(subtype);
    case 3: return StepKind_Name(subtype) + "Step";
    case 4: return Object_GetName(subtype);
    case 5: return Key_Name(subtype);
    case 6: return MouseEvent_Name(subtype);
    case 7: return subtype > 59 ? AsyncEvent_Name(subtype) : OtherEvent_Name(subtype);
    case 8: return "Draw";
    case 9: return "press " + Key_Name(subtype);
    case 10: return "release " + Key_Name(subtype);
  }
  return "<Unknown Event>";
}
