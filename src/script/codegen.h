// The code generator: a rewritten parse tree to bytecode for the machine.
// It follows the type of every item it leaves on the machine's stack, so it
// can name each instruction's operand types and insert conversions.
#pragma once
#include <memory>

#include "script/bytecode.h"
#include "script/lexer.h"
#include "script/parse_tree.h"

// Items pending on the stack at once, and the bytes they may take (within
// the load-time check's own bound).
constexpr int kCodeGenMaxTypeStack = 1024;
constexpr int kCodeGenMaxStackBytes = 32768;
// Code beyond this would not be reachable by the 24-bit branch offsets.
constexpr int32_t kCodeGenMaxCodeBytes = 16 << 20;

// Each returns the finished code (size 0 when nothing was emitted), or null
// after reporting an error. A program runs each statement of its root block;
// an expression leaves its value on the stack as the run's result.
// `lineTable`, when given, receives the code's line table (code.h): a record
// for each run of instructions made from one source line, so the machine's
// errors name the line; it stays empty when no code was emitted.
std::unique_ptr<VMWriteBuffer> CodeGen_Program(CompileContext* context, const ParseNode& root,
                                               std::unique_ptr<VMBuffer>* lineTable = nullptr);
std::unique_ptr<VMWriteBuffer> CodeGen_Expression(CompileContext* context, const ParseNode& root,
                                                  std::unique_ptr<VMBuffer>* lineTable = nullptr);
