#include "script/compiler.h"

#include <cstdio>

#include "script/code.h"
#include "script/code_run.h"
#include "script/codegen.h"
#include "script/function_registry.h"
#include "script/lexer.h"
#include "script/parser.h"
#include "script/scripts.h"
#include "script/variable_names.h"
#include "script/vm.h"

bool CCode::Compile(std::string_view name) {
  SetName(name);
  Code_ClearPendingError();
  CompileContext context;
  context.code = this;
  if (compiled_) {
    context.Fail(0, "Internal Error: Recompiling compiled code.");
    return false;
  }
  auto tree = std::make_unique<ParseNode>();
  {
    std::vector<Token> tokens;
    ResolvedTokenList resolved;
    if (!Lexer_Tokenize(&context, source_, &tokens)) return false;
    if (!Resolver_Run(&context, tokens, &resolved)) return false;
    const bool parsed = kind_ == kExpression ? Parser_ParseExpression(&context, resolved, tree.get())
                                             : Parser_ParseProgram(&context, resolved, tree.get());
    if (!parsed) return false;
  }
  if (!TreePass_Run(&context, tree.get())) return false;
  if (kind_ == kExpression && tree->kind == kNodeConstant) {
    kind_ = kConstantExpression;
    ScriptValue_Copy(&constant_, &tree->value);
  }
  compiled_ = true;
  if (g_UseVM && kind_ != kConstantExpression) {
    std::unique_ptr<VMBuffer> lines;
    std::unique_ptr<VMWriteBuffer> code = kind_ == kExpression ? CodeGen_Expression(&context, *tree, &lines)
                                                               : CodeGen_Program(&context, *tree, &lines);
    if (!code) {
      tree_ = std::move(tree);
      return false;
    }
    if (code->Size() > 0) {
      ownBytecode_ = std::move(code);
      bytecode_ = ownBytecode_.get();
      lineTable_ = std::move(lines);
    }
  }
  tree_ = std::move(tree);
  return true;
}

bool Compiler_CompileCode(CCode* code, const std::string& name) { return code && code->Compile(name); }

bool Compiler_CompileCodeOrError(CCode& code, const std::string& name, std::string& error) {
  if (code.Compile(name)) return true;
  error = Code_PendingErrorText();
  return false;
}

void Compiler_Install() { Script_SetCompiler(Compiler_CompileCode); }

namespace {

const char* OperatorName(int op) {
  switch (op) {
    case 101: return "=";
    case 102: return "+=";
    case 103: return "-=";
    case 104: return "*=";
    case 105: return "/=";
    case 114: return "|=";
    case 115: return "&=";
    case 116: return "^=";
    case 201: return "&&";
    case 202: return "||";
    case 203: return "!";
    case 204: return "<";
    case 205: return "<=";
    case 206: return "==";
    case 207: return "!=";
    case 208: return ">=";
    case 209: return ">";
    case 210: return "+";
    case 211: return "-";
    case 212: return "*";
    case 213: return "/";
    case 214: return "div";
    case 215: return "mod";
    case 216: return "^^";
    case 217: return "|";
    case 218: return "&";
    case 219: return "^";
    case 220: return "~";
    case 221: return "<<";
    case 222: return ">>";
  }
  return "?";
}

const char* StatementName(int kind) {
  switch (kind) {
    case kNodeNothing: return "nothing";
    case kNodeIf: return "if";
    case kNodeWhile: return "while";
    case kNodeDo: return "do";
    case kNodeFor: return "for";
    case kNodeRepeat: return "repeat";
    case kNodeExit: return "exit";
    case kNodeBreak: return "break";
    case kNodeContinue: return "continue";
    case kNodeWith: return "with";
    case kNodeReturn: return "return";
    case kNodeSwitch: return "switch";
    case kNodeCase: return "case";
    case kNodeDefault: return "default";
    case kNodeConstantCase: return "case-const";
    case kNodeBlock: return "block";
  }
  return "?";
}

void Print(const ParseNode& node, std::string* out) {
  char buf[64];
  switch (node.kind) {
    case kNodeConstant:
      if (node.value.IsString()) {
        *out += '"';
        *out += node.value.Text();
        *out += '"';
      } else {
        std::snprintf(buf, sizeof buf, "%.17g", node.value.real);
        *out += buf;
      }
      return;
    case kNodeSimpleVariable:
      std::snprintf(buf, sizeof buf, "%s@%d", VariableName_FromID(node.operand), node.instance);
      *out += buf;
      return;
    case kNodeVariable:
      *out += "(. ";
      Print(node.children[0], out);
      *out += ' ';
      *out += VariableName_FromID(node.operand);
      for (size_t i = 1; i < node.children.size(); ++i) {
        *out += i == 1 ? " [" : " ";
        Print(node.children[i], out);
      }
      *out += node.children.size() > 1 ? "])" : ")";
      return;
    case kNodeVar:
    case kNodeGlobalVar:
      *out += node.kind == kNodeVar ? "(var" : "(globalvar";
      for (const ParseNode& name : node.children) {
        *out += ' ';
        *out += VariableName_FromID(name.operand);
      }
      *out += ')';
      return;
    case kNodeCall: {
      const FunctionEntry* f = FunctionRegistry_Get(node.operand);
      if (f) {
        *out += "(call ";
        *out += f->name;
      } else {
        std::snprintf(buf, sizeof buf, "(call #%d", node.operand);
        *out += buf;
      }
      break;
    }
    case kNodeAssign:
    case kNodeUnary:
    case kNodeBinary:
      *out += '(';
      *out += OperatorName(node.operand);
      break;
    default:
      *out += '(';
      *out += StatementName(node.kind);
      break;
  }
  for (const ParseNode& child : node.children) {
    *out += ' ';
    Print(child, out);
  }
  *out += ')';
}

}  // namespace

std::string ParseTree_Print(const ParseNode& node) {
  std::string out;
  Print(node, &out);
  return out;
}
