// The one entry that runs a code object for a self and an other instance, in
// whichever form it has: the game's compiled function, bytecode on the
// virtual machine, or its parse tree.
#pragma once
#include <string>

class CCode;
class CObjInstance;
struct ScriptValue;

bool Code_Run(CObjInstance* self, CObjInstance* other, CCode* code, ScriptValue* result);
// Code_Run; a failure is reported as a non-fatal runtime error.
bool Code_RunReportingErrors(CObjInstance* self, CObjInstance* other, CCode* code, ScriptValue* result);
// Reports the pending error, if any, as a non-fatal runtime error and clears
// it: the report of Code_RunReportingErrors for a failure found elsewhere.
void Code_ReportPendingError();
// Code_Run; a failure makes the result the string "ERROR".
bool Code_RunOrErrorValue(CObjInstance* self, CObjInstance* other, CCode* code, ScriptValue* result);

// The first compile or interpretation error since the last Code_Run.
void Code_ReportError(const CCode* code, int position, const char* message);
bool Code_HasPendingError();
const std::string& Code_PendingErrorText();
void Code_ClearPendingError();
// Replaces the pending text (a caller adding where the error arose).
void Code_SetPendingErrorText(std::string text);
