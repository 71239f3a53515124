// Readable names of events and keys, for error headers and the log; each
// call returns a fresh text.
#pragma once
#include <string>

std::string Event_Name(int type, int subtype);
std::string Event_ShortName(int type, int subtype);
std::string Key_Name(int code);
std::string MouseEvent_Name(int subtype);
std::string OtherEvent_Name(int subtype);
std::string AsyncEvent_Name(int subtype);
std::string StepKind_Name(int subtype);
