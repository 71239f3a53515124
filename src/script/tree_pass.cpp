#include <unordered_set>

#include "script/convert.h"
#include "script/code_run.h"
#include "script/operators.h"
#include "script/parser.h"

namespace {

class TreePass {
 public:
  explicit TreePass(CompileContext* context) : ctx_(context) {}

  void Visit(ParseNode* node, int depth) {
    // The parser bounds the depth; this guards trees made any other way.
    if (depth > kMaxTreeDepth) return ctx_->Fail(node->position, "Code is nested too deeply.");
    for (ParseNode& child : node->children) {
      Visit(&child, depth + 1);
      if (ctx_->failed) return;
    }
    switch (node->kind) {
      case kNodeVar:
        for (const ParseNode& name : node->children) locals_.insert(name.operand);
        break;
      case kNodeVariable: Variable(node); break;
      case kNodeUnary: {
        ParseNode& child = node->children[0];
        if (!child.IsConstant()) break;
        ScriptValue value;
        ScriptValue_Copy(&value, &child.value);
        if (!Code_OperatorUnary(ctx_->code, node->position, node->operand, &value) || Code_HasPendingError()) {
          ScriptValue_Free(&value);
          return ctx_->FailReported(node->position);
        }
        MakeConstant(node, &value);
        break;
      }
      case kNodeBinary: {
        ParseNode& left = node->children[0];
        ParseNode& right = node->children[1];
        if (!left.IsConstant() || !right.IsConstant()) break;
        ScriptValue value;
        ScriptValue_Copy(&value, &left.value);
        const bool ok = Code_OperatorBinary(ctx_->code, right.position, node->operand, &value, &right.value);
        // "^^" on a string reports and still succeeds; the report fails the compilation.
        if (!ok || Code_HasPendingError()) {
          ScriptValue_Free(&value);
          return ctx_->FailReported(right.position);
        }
        MakeConstant(node, &value);
        break;
      }
      case kNodeCase:
        if (node->children[0].IsConstant()) node->kind = kNodeConstantCase;
        break;
      default: break;
    }
  }

 private:
  void Variable(ParseNode* node) {
    ParseNode& instance = node->children[0];
    if (instance.IsRealConstant() && instance.value.real == kInstancePlain && locals_.count(node->operand)) {
      instance.value.real = kInstanceLocal;
    }
    if (!instance.IsConstant() || node->children.size() != 1) return;
    if (!instance.value.IsReal()) return ctx_->Fail(instance.position, "Left hand side must be a real value.");
    node->kind = kNodeSimpleVariable;
    node->instance = Real_RoundToInt32(instance.value.real);
    node->children.clear();
  }

  static void MakeConstant(ParseNode* node, ScriptValue* value) {
    const int32_t at = node->position;
    node->Reset(at);
    node->kind = kNodeConstant;
    node->value = *value;
    *value = ScriptValue();
  }

  static constexpr double kInstancePlain = -6;
  static constexpr double kInstanceLocal = -7;

  CompileContext* ctx_;
  std::unordered_set<int32_t> locals_;
};

}  // namespace

bool TreePass_Run(CompileContext* context, ParseNode* root) {
  if (context->failed) return false;
  TreePass pass(context);
  pass.Visit(root, 0);
  return !context->failed;
}
