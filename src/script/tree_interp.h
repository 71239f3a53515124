// The tree interpreter: runs a compiled code object's parse tree directly,
// for "-oldexec", where the compiler makes no bytecode.
#pragma once

class CCode;
class CObjInstance;
struct ScriptValue;

// Runs the code's tree for self and other into `result`. False after an
// error, whose text is then the pending code error (code_run.h).
bool TreeInterp_Run(CObjInstance* self, CObjInstance* other, const CCode* code, ScriptValue* result);

// Runs nested inside each other (script calls, events performed from code)
// stop with an error past this many, or when the walk's stack use passes
// its budget, whichever comes first.
constexpr int kTreeMaxNestedRuns = 4096;
