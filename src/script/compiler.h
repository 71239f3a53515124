// The run-time compiler from script text to bytecode: lexer, name
// resolution, parser, tree pass and code generator, run by CCode::Compile.
// The compiler stops at the first error of any phase, so a compilation
// reports exactly one error.
#pragma once
#include <string>

class CCode;

// The compiler that text scripts use (scripts.h); VM_Init installs it.
bool Compiler_CompileCode(CCode* code, const std::string& name);
// The same, giving the error text; false when the code did not compile.
bool Compiler_CompileCodeOrError(CCode& code, const std::string& name, std::string& error);
// Makes the compiler the script table's (VM_Init); the world installs it for
// its own code (events, moments, room code) in World_InstallScriptHooks.
void Compiler_Install();
