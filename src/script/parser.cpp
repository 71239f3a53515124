#include "script/parser.h"

#include <algorithm>
#include <cstdio>

#include "script/function_registry.h"
#include "script/operators.h"
#include "script/variable_names.h"

namespace {

constexpr int kMaxArguments = 16;

class Parser {
 public:
  Parser(CompileContext* context, const ResolvedTokenList& list) : ctx_(context), tokens_(list.tokens) {}

  bool Program(ParseNode* root) {
    root->Reset(At(0).position);
    if (Kind(0) == kTokBegin) {
      int i = Statement(0, root);
      if (Failed()) return false;
      if (Kind(i) != kTokEnd) Fail(i, "Program ends before end of the code.");
      return !Failed();
    }
    root->kind = kNodeBlock;
    int i = 0;
    while (!Failed() && Kind(i) != kTokEnd) {
      root->children.emplace_back();
      i = Statement(i, &root->children.back());
    }
    return !Failed();
  }

  bool Expression(ParseNode* root) {
    root->Reset(At(0).position);
    if (Kind(0) == kTokEnd) {
      root->kind = kNodeConstant;
      root->value = ScriptValue::FromReal(0);
      return true;
    }
    Expr(0, root);
    return !Failed();
  }

 private:
  // Entered by every rule that recurses, so that neither the parser's own
  // stack nor the tree's depth can grow without bound.
  class Nest {
   public:
    Nest(Parser* p, int i) : p_(p) {
      if (++p_->depth_ > kMaxTreeDepth) p_->Fail(i, "Code is nested too deeply.");
    }
    ~Nest() { --p_->depth_; }

   private:
    Parser* p_;
  };

  const ResolvedToken& At(int i) const { return tokens_[size_t(std::min<size_t>(size_t(i), tokens_.size() - 1))]; }
  int32_t Kind(int i) const { return tokens_.empty() ? kTokEnd : At(i).kind; }
  int32_t Pos(int i) const { return tokens_.empty() ? 0 : At(i).position; }
  bool Failed() const { return ctx_->failed; }
  void Fail(int i, const char* message) { ctx_->Fail(Pos(i), message); }

  // The height of the tree below a node just made, checked against the bound.
  void Made(int height, int i) {
    height_ = height;
    if (height > kMaxTreeDepth) Fail(i, "Code is nested too deeply.");
  }

  int SkipSemicolons(int i) {
    while (Kind(i) == kTokSemicolon) ++i;
    return i;
  }

  // A statement, then any ";" after it.
  int Statement(int i, ParseNode* node) {
    Nest nest(this, i);
    if (Failed()) return i;
    i = StatementBody(i, node);
    if (Failed()) return i;
    return SkipSemicolons(i);
  }

  // Statements up to a closing "}" or "end" into node's children.
  int BlockBody(int i, ParseNode* node, int* height) {
    while (!Failed()) {
      if (Kind(i) == kTokBlockEnd) return i + 1;
      if (Kind(i) == kTokEnd) {
        Fail(i, "Symbol  } expected.");
        return i;
      }
      node->children.emplace_back();
      i = Statement(i, &node->children.back());
      *height = std::max(*height, height_);
    }
    return i;
  }

  int StatementBody(int i, ParseNode* node) {
    node->Reset(Pos(i));
    const int32_t kind = Kind(i);
    int h = 0;
    switch (kind) {
      case kTokResolvedFunction: return Call(i, node);
      case kTokBegin: {
        node->kind = kNodeBlock;
        i = BlockBody(i + 1, node, &h);
        Made(h + 1, i);
        return i;
      }
      case kTokIf: {
        node->kind = kNodeIf;
        node->children.resize(2);
        i = Expr(i + 1, &node->children[0]);
        h = height_;
        if (Failed()) return i;
        if (Kind(i) == kTokThen) ++i;
        i = Statement(i, &node->children[1]);
        h = std::max(h, height_);
        if (Failed()) return i;
        if (Kind(i) == kTokElse) {
          node->children.emplace_back();
          i = Statement(i + 1, &node->children[2]);
          h = std::max(h, height_);
        }
        Made(h + 1, i);
        return i;
      }
      case kTokWhile:
      case kTokWith: {
        node->kind = kind == kTokWhile ? kNodeWhile : kNodeWith;
        node->children.resize(2);
        i = Expr(i + 1, &node->children[0]);
        h = height_;
        if (Failed()) return i;
        if (Kind(i) == kTokDo) ++i;
        i = Statement(i, &node->children[1]);
        Made(std::max(h, height_) + 1, i);
        return i;
      }
      case kTokDo: {
        node->kind = kNodeDo;
        node->children.resize(2);
        i = Statement(i + 1, &node->children[0]);
        h = height_;
        if (Failed()) return i;
        if (Kind(i) != kTokUntil) {
          Fail(i, "Keyword until expected.");
          return i;
        }
        i = Expr(i + 1, &node->children[1]);
        Made(std::max(h, height_) + 1, i);
        return i;
      }
      case kTokFor: {
        node->kind = kNodeFor;
        node->children.resize(4);
        if (Kind(i + 1) != kTokOpenParen) {
          Fail(i + 1, "Symbol ( expected.");
          return i + 1;
        }
        i = Statement(i + 2, &node->children[0]);
        h = height_;
        if (Failed()) return i;
        if (Kind(i) == kTokSemicolon) ++i;
        i = Expr(i, &node->children[1]);
        h = std::max(h, height_);
        if (Failed()) return i;
        if (Kind(i) == kTokSemicolon) ++i;
        i = Statement(i, &node->children[2]);
        h = std::max(h, height_);
        if (Failed()) return i;
        if (Kind(i) != kTokCloseParen) {
          Fail(i, "Symbol ) expected.");
          return i;
        }
        i = Statement(i + 1, &node->children[3]);
        Made(std::max(h, height_) + 1, i);
        return i;
      }
      case kTokRepeat: {
        node->kind = kNodeRepeat;
        node->children.resize(2);
        i = Expr(i + 1, &node->children[0]);
        h = height_;
        if (Failed()) return i;
        i = Statement(i, &node->children[1]);
        Made(std::max(h, height_) + 1, i);
        return i;
      }
      case kTokExit:
      case kTokBreak:
      case kTokContinue:
        node->kind = kind;  // the node kinds share the keywords' numbers
        Made(1, i);
        return i + 1;
      case kTokReturn:
        node->kind = kNodeReturn;
        node->children.resize(1);
        i = Expr(i + 1, &node->children[0]);
        Made(height_ + 1, i);
        return i;
      case kTokSwitch: {
        node->kind = kNodeSwitch;
        node->children.resize(1);
        i = Expr(i + 1, &node->children[0]);
        h = height_;
        if (Failed()) return i;
        if (Kind(i) != kTokBegin) {
          Fail(i, "Symbol {  expected.");
          return i;
        }
        i = BlockBody(i + 1, node, &h);
        Made(h + 1, i);
        return i;
      }
      case kTokCase:
        node->kind = kNodeCase;
        node->children.resize(1);
        i = Expr(i + 1, &node->children[0]);
        h = height_;
        if (Failed()) return i;
        if (Kind(i) != kTokColon) {
          Fail(i, "Symbol : expected.");
          return i;
        }
        Made(h + 1, i);
        return i + 1;
      case kTokDefault:
        node->kind = kNodeDefault;
        if (Kind(i + 1) != kTokColon) {
          Fail(i + 1, "Symbol : expected.");
          return i + 1;
        }
        Made(1, i);
        return i + 2;
      case kTokVar:
      case kTokGlobalVar:
        node->kind = kind == kTokVar ? kNodeVar : kNodeGlobalVar;
        ++i;
        while (Kind(i) == kTokResolvedVariable) {
          if (At(i).index < kFirstUserVariableId) {
            Fail(i, "Cannot redeclare a builtin variable.");
            return i;
          }
          ParseNode& name = node->children.emplace_back(Pos(i));
          name.kind = kNodeConstant;
          name.operand = At(i).index;
          ++i;
          if (Kind(i) == kTokComma) ++i;
        }
        Made(2, i);
        return i;
      case kTokSemicolon:
        Made(1, i);
        return i + 1;
      case kTokEnd: Fail(i, "Unexpected end of code reached."); return i;
      default: return Assignment(i, node);
    }
  }

  int Assignment(int i, ParseNode* node) {
    const int start = i;
    node->kind = kNodeAssign;
    node->children.resize(2);
    i = DotChain(i, &node->children[0]);
    int h = height_;
    if (Failed()) return i;
    if (node->children[0].kind != kNodeVariable) {
      Fail(start, "Variable name expected.");
      return i;
    }
    switch (Kind(i)) {
      case kTokAssign:
      case kTokPlusAssign:
      case kTokMinusAssign:
      case kTokTimesAssign:
      case kTokDivideAssign:
      case kTokOrAssign:
      case kTokAndAssign:
      case kTokXorAssign: break;
      default: Fail(i, "Assignment operator expected."); return i;
    }
    node->operand = Kind(i);
    node->position = Pos(i);
    i = Expr(i + 1, &node->children[1]);
    Made(std::max(h, height_) + 1, i);
    return i;
  }

  // Levels of two-operand operators, loosest first.
  static bool AtLevel(int level, int32_t kind) {
    switch (level) {
      case 1: return kind == kTokAnd || kind == kTokOr || kind == kTokXor;
      case 2: return kind == kTokAssign || (kind >= kTokLess && kind <= kTokGreater);
      case 3: return kind == kTokBitOr || kind == kTokBitAnd || kind == kTokBitXor;
      case 4: return kind == kTokShiftLeft || kind == kTokShiftRight;
      case 5: return kind == kTokPlus || kind == kTokMinus;
      case 6: return kind == kTokTimes || kind == kTokDivide || kind == kTokDiv || kind == kTokMod;
    }
    return false;
  }

  int Expr(int i, ParseNode* node) {
    Nest nest(this, i);
    if (Failed()) return i;
    return Level(1, i, node);
  }

  int Level(int level, int i, ParseNode* node) {
    if (level > 6) return DotChain(i, node);
    i = Level(level + 1, i, node);
    int h = height_;
    while (!Failed() && AtLevel(level, Kind(i))) {
      ParseNode left = std::move(*node);
      node->Reset(Pos(i));
      node->kind = kNodeBinary;
      node->operand = Kind(i);
      node->children.resize(2);
      node->children[0] = std::move(left);
      i = Level(level + 1, i + 1, &node->children[1]);
      h = std::max(h, height_) + 1;
      Made(h, i);
    }
    return i;
  }

  int DotChain(int i, ParseNode* node) {
    i = Primary(i, node);
    int h = height_;
    while (!Failed() && Kind(i) == kTokDot) {
      ParseNode target = std::move(*node);
      i = Variable(i + 1, node);
      if (Failed()) return i;
      node->children[0] = std::move(target);
      h = std::max(h, height_) + 1;
      Made(h, i);
    }
    return i;
  }

  int Primary(int i, ParseNode* node) {
    node->Reset(Pos(i));
    switch (Kind(i)) {
      case kTokResolvedConstant:
        node->kind = kNodeConstant;
        ScriptValue_Copy(&node->value, &At(i).value);
        Made(1, i);
        return i + 1;
      case kTokResolvedFunction: return Call(i, node);
      case kTokResolvedVariable: return Variable(i, node);
      case kTokOpenParen: {
        i = Expr(i + 1, node);
        if (Failed()) return i;
        if (Kind(i) != kTokCloseParen) {
          Fail(i, "Symbol ) expected.");
          return i;
        }
        return i + 1;
      }
      case kTokNot:
      case kTokPlus:
      case kTokMinus:
      case kTokBitNot: {
        Nest nest(this, i);
        if (Failed()) return i;
        node->kind = kNodeUnary;
        node->operand = Kind(i);
        node->children.resize(1);
        i = DotChain(i + 1, &node->children[0]);
        Made(height_ + 1, i);
        return i;
      }
      default: Fail(i, "Unexpected symbol in expression."); return i;
    }
  }

  int Call(int i, ParseNode* node) {
    const int name = i;
    node->Reset(Pos(i));
    if (Kind(i) != kTokResolvedFunction) {
      Fail(i, "Function name expected.");
      return i;
    }
    node->kind = kNodeCall;
    node->operand = At(i).index;
    ++i;
    if (Kind(i) != kTokOpenParen) {
      Fail(i, "Symbol ( expected.");
      return i;
    }
    ++i;
    int h = 0;
    if (Kind(i) != kTokCloseParen) {
      for (;;) {
        // Stop collecting early, so a call cannot hold any number of arguments.
        if (node->children.size() > size_t(kMaxArguments)) {
          Fail(name, "Wrong number of arguments to function or script.");
          return i;
        }
        node->children.emplace_back();
        i = Expr(i, &node->children.back());
        h = std::max(h, height_);
        if (Failed()) return i;
        if (Kind(i) == kTokCloseParen) break;
        if (Kind(i) == kTokEnd) {
          Fail(i, "Symbol ) expected.");
          return i;
        }
        if (Kind(i) != kTokComma) {
          Fail(i, "Symbol , or ) expected.");
          return i;
        }
        ++i;
      }
    }
    ++i;
    const int given = int(node->children.size());
    const int wanted = FunctionRegistry_GetArgCount(node->operand);
    if (given > kMaxArguments || (wanted >= 0 && wanted != given)) {
      Fail(name, "Wrong number of arguments to function or script.");
      return i;
    }
    Made(h + 1, i);
    return i;
  }

  int Variable(int i, ParseNode* node) {
    node->Reset(Pos(i));
    if (Kind(i) != kTokResolvedVariable) {
      Fail(i, "Variable name expected.");
      return i;
    }
    node->kind = kNodeVariable;
    node->operand = At(i).index;
    ++i;
    ParseNode& instance = node->children.emplace_back(Pos(i));
    instance.kind = kNodeConstant;
    instance.value = ScriptValue::FromReal(kInstancePlainTarget);
    int h = 1;
    if (Kind(i) == kTokOpenBracket) {
      ++i;
      for (;;) {
        if (node->children.size() > 3) break;
        node->children.emplace_back();
        i = Expr(i, &node->children.back());
        h = std::max(h, height_);
        if (Failed()) return i;
        if (Kind(i) == kTokCloseBracket) break;
        if (Kind(i) == kTokEnd) {
          Fail(i, "Symbol ] expected.");
          return i;
        }
        if (Kind(i) != kTokComma) {
          Fail(i, "Symbol , or ] expected.");
          return i;
        }
        ++i;
      }
      if (node->children.size() > 3) {
        Fail(i, "Only 1- and 2-dimensional arrays are supported.");
        return i;
      }
      ++i;
    }
    Made(h + 1, i);
    return i;
  }

  static constexpr double kInstancePlainTarget = -6;

  CompileContext* ctx_;
  const std::vector<ResolvedToken>& tokens_;
  int depth_ = 0;
  int height_ = 0;  // of the node the last rule made
};

}  // namespace

bool Parser_ParseProgram(CompileContext* context, const ResolvedTokenList& tokens, ParseNode* root) {
  if (context->failed) return false;
  return Parser(context, tokens).Program(root);
}

bool Parser_ParseExpression(CompileContext* context, const ResolvedTokenList& tokens, ParseNode* root) {
  if (context->failed) return false;
  return Parser(context, tokens).Expression(root);
}
