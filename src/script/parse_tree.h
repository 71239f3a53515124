// The parse tree of script code: built by the parser, rewritten by the tree
// pass and turned into bytecode by the code generator.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "script/value.h"

enum ParseNodeKind : int32_t {
  kNodeNothing = -1,
  kNodeConstant = 5,
  kNodeCall = 6,
  kNodeVariable = 7,        // children: instance expression, then 0 to 2 indices
  kNodeSimpleVariable = 8,  // constant instance, no index (made by the tree pass)
  kNodeIf = 13,
  kNodeWhile = 16,
  kNodeDo = 17,
  kNodeFor = 18,
  kNodeRepeat = 20,
  kNodeExit = 21,
  kNodeBreak = 22,
  kNodeContinue = 23,
  kNodeWith = 24,
  kNodeReturn = 25,
  kNodeSwitch = 26,
  kNodeCase = 27,
  kNodeDefault = 28,
  kNodeVar = 29,
  kNodeGlobalVar = 30,
  kNodeConstantCase = 31,  // made by the tree pass
  kNodeAssign = 101,
  kNodeBlock = 1000,
  kNodeUnary = 1010,
  kNodeBinary = 1011,
};

struct ParseNode {
  int32_t kind = kNodeNothing;
  int32_t operand = 0;   // operator token, variable id or function number
  int32_t instance = 0;  // of a simple variable
  ScriptValue value;     // of a constant
  std::vector<ParseNode> children;
  int32_t position = 0;

  ParseNode() = default;
  explicit ParseNode(int32_t at) : position(at) {}
  ~ParseNode() { ScriptValue_Free(&value); }
  ParseNode(const ParseNode& other)
      : kind(other.kind), operand(other.operand), instance(other.instance), children(other.children),
        position(other.position) {
    ScriptValue_Copy(&value, &other.value);
  }
  ParseNode(ParseNode&& other) noexcept
      : kind(other.kind), operand(other.operand), instance(other.instance), value(other.value),
        children(std::move(other.children)), position(other.position) {
    other.value = ScriptValue();
  }
  ParseNode& operator=(ParseNode other) noexcept {
    kind = other.kind;
    operand = other.operand;
    instance = other.instance;
    std::swap(value, other.value);
    children.swap(other.children);
    position = other.position;
    return *this;
  }

  // Empties the node (kind -1, no children, real 0) at a new position.
  void Reset(int32_t at) {
    ScriptValue_Free(&value);
    value = ScriptValue();
    kind = kNodeNothing;
    operand = instance = 0;
    children.clear();
    position = at;
  }
  bool IsConstant() const { return kind == kNodeConstant; }
  bool IsRealConstant() const { return kind == kNodeConstant && value.IsReal(); }
};

// Trees nest at most this deep, so the passes that recurse over them, and
// the release of a tree, stay within a small stack.
constexpr int kMaxTreeDepth = 400;

// The tree as nested text, for tests and diagnostics: "(1011:210 (5 1) (5 2))".
std::string ParseTree_Print(const ParseNode& node);
