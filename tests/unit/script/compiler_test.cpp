// The run-time compiler: tokens, name resolution, the grammar on parse trees,
// constant folding and local names, every compile error with its line and
// position, and small programs compiled and run on the machine.
#include <gtest/gtest.h>

#include "unit/world_reset.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "core/builtin_vars.h"
#include "script/code.h"
#include "script/code_run.h"
#include "script/compiler.h"
#include "script/constants.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/lexer.h"
#include "script/parse_tree.h"
#include "script/value.h"
#include "script/variable_names.h"
#include "script/variables.h"
#include "script/vm.h"
#include "script/vm_verify.h"

namespace {

void TestAdd2(ScriptValue* result, CObjInstance*, CObjInstance*, int, ScriptValue* args) {
  result->real = args[0].Real() + args[1].Real();
}
void TestAny(ScriptValue* result, CObjInstance*, CObjInstance*, int argc, ScriptValue*) { result->real = argc; }

class Compiler : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    FunctionRegistry_Add("add2", TestAdd2, 2);
    FunctionRegistry_Add("any", TestAny, kAnyArgCount);
  }

  // The rewritten tree of a program that compiles; the error text otherwise.
  static std::string Tree(const std::string& text, bool expression = false) {
    CCode code(text, expression);
    if (!code.Compile("t")) return "error: " + Code_PendingErrorText();
    return ParseTree_Print(*code.Tree());
  }
  // The statements of a program's root block, without "(block ...)".
  static std::string Body(const std::string& text) {
    const std::string t = Tree(text);
    if (t.rfind("(block ", 0) != 0) return t;
    return t.substr(7, t.size() - 8);
  }

  // The result of running a compiled program (its return value) or expression.
  static ScriptValue Run(const std::string& text, bool expression = false) {
    CCode code(text, expression);
    ScriptValue result;
    Error_ResetForTests();
    EXPECT_TRUE(code.Compile("run")) << text << "\n" << Code_PendingErrorText();
    if (code.Bytecode()) {
      std::string why;
      EXPECT_TRUE(VM_Verify(*code.Bytecode(), &why)) << text << "\n" << why;
    }
    EXPECT_TRUE(Code_Run(nullptr, nullptr, &code, &result));
    EXPECT_FALSE(Error_Occurred()) << text << "\n" << Error_LastText();
    return result;
  }
  static double RunReal(const std::string& text, bool expression = false) {
    ScriptValue v = Run(text, expression);
    const double r = v.Real();
    ScriptValue_Free(&v);
    return r;
  }
};

std::vector<int32_t> Kinds(const std::string& text) {
  CompileContext context;
  std::vector<Token> tokens;
  Lexer_Tokenize(&context, text, &tokens);
  std::vector<int32_t> kinds;
  for (const Token& t : tokens) kinds.push_back(t.kind);
  return kinds;
}

TEST(Lexer, CutsSymbolsKeywordsAndNumbers) {
  struct Case {
    const char* text;
    std::vector<int32_t> kinds;
  };
  const Case cases[] = {
      {"a=b", {0, 101, 0, -2}},
      {"a==b", {0, 206, 0, -2}},
      {"a:=b", {0, 101, 0, -2}},
      {"x=-1", {0, 101, 211, 1, -2}},
      {"%=", {215, 101, -2}},
      {"a<>b != c", {0, 207, 0, 207, 0, -2}},
      {"If if globalvarx globalvar", {0, 13, 0, 30, -2}},
      {"{ begin } end", {11, 11, 12, 12, -2}},
      {"a && b || c ^^ d and or xor not !", {0, 201, 0, 202, 0, 216, 0, 201, 202, 216, 203, 203, -2}},
      {"<< >> <= >= | & ^ ~ div mod", {221, 222, 205, 208, 217, 218, 219, 220, 214, 215, -2}},
      {"+= -= *= /= |= &= ^=", {102, 103, 104, 105, 114, 115, 116, -2}},
      {"( ) ; , [ ] . :", {106, 107, 108, 109, 110, 111, 112, 113, -2}},
      {"a // note\nb", {0, 0, -2}},
      {"a /* x */ b /*/ c", {0, 0, 0, -2}},
      {"a /*/ b */ c", {0, 0, 212, 213, 0, -2}},
      {"a /* b", {0, -2}},
      {"\xC3\xA9 a", {0, -2}},
      {"'say \"hi\"'", {2, -2}},
  };
  for (const Case& c : cases) EXPECT_EQ(Kinds(c.text), c.kinds) << c.text;
}

TEST(Lexer, NumbersStringsAndPositions) {
  CompileContext context;
  std::vector<Token> t;
  ASSERT_TRUE(Lexer_Tokenize(&context, ".5 5. 1.2.3 $1F $ 'ab\"c' \"x", &t));
  const std::vector<std::string> texts = {".5", "5.", "1.2", ".3", "$1F", "$", "ab\"c", "x  "};
  ASSERT_EQ(t.size(), texts.size() + 1);
  for (size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(t[i].text, texts[i]) << i;
  EXPECT_EQ(t[6].position, 19) << "just after the opening quote";
  EXPECT_EQ(t.back().kind, kTokEnd);
  EXPECT_EQ(t.back().position, 30) << "the end of the scan: the text and three blanks";

  const std::string longName(600, 'n');
  ASSERT_TRUE(Lexer_Tokenize(&context, longName + "=1", &t));
  EXPECT_EQ(t[0].text, longName);

  EXPECT_FALSE(Lexer_Tokenize(&context, "a = #", &t));
  EXPECT_EQ(context.message, "Unexpected symbol.");
  EXPECT_EQ(context.position, 4);
}

TEST(Lexer, NumbersAreCorrectlyRounded) {
  EXPECT_EQ(Lexer_NumberValue("0.1"), 0.1);
  EXPECT_EQ(Lexer_NumberValue("0.3"), 0.3) << "not 3 x 0.1";
  EXPECT_EQ(Lexer_NumberValue("0.7"), 0.7);
  EXPECT_EQ(Lexer_NumberValue("1.5"), 1.5);
  EXPECT_EQ(Lexer_NumberValue("5."), 5.0);
  EXPECT_EQ(Lexer_NumberValue(".25"), 0.25);
  EXPECT_EQ(Lexer_NumberValue("123456789012345678901234567890"), 1.2345678901234568e29);
  EXPECT_EQ(Lexer_NumberValue("$FF"), 255.0);
  EXPECT_EQ(Lexer_NumberValue("$1f"), Lexer_NumberValue("$1F"));
  EXPECT_EQ(Lexer_NumberValue("$"), 0.0);
  EXPECT_EQ(Lexer_NumberValue("$FFFFFFFFFFFFFFFFFF"), 0xFFFFFFFFFFFFFFFFFFp0);
  EXPECT_TRUE(std::isinf(Lexer_NumberValue(std::string(400, '9'))));
  EXPECT_EQ(Lexer_NumberValue("0." + std::string(400, '0') + "1"), 0.0);
}

TEST_F(Compiler, NamesResolveToFunctionsConstantsAndVariables) {
  EXPECT_EQ(Body("x = add2(1, c_white)"), "(= x@-6 (call add2 1 16777215))");
  // A name used as a variable enters the table even when compiling fails later.
  const std::string fresh = "tw_never_seen_before_name";
  EXPECT_EQ(VariableName_Lookup(fresh), -1);
  EXPECT_EQ(Tree(fresh + " = ;").find("error:"), 0u);
  EXPECT_GE(VariableName_Lookup(fresh), kFirstUserVariableId);
  EXPECT_EQ(Body("x = 'it''s'").find("error:"), 0u) << "no escapes: two strings";
}

TEST_F(Compiler, GrammarRulesShowOnTheTree) {
  struct Case {
    const char* text;
    const char* body;
  };
  const Case cases[] = {
      // "=" compares inside expressions; the statement's first "=" assigns.
      {"if x = 1 then y = 2", "(if (= x@-6 1) (= y@-6 2))"},
      {"x = a = b", "(= x@-6 (= a@-6 b@-6))"},
      // &&, || and ^^ share one level, left to right.
      {"x = a || b && c", "(= x@-6 (&& (|| a@-6 b@-6) c@-6))"},
      {"x = a && b ^^ c || d", "(= x@-6 (|| (^^ (&& a@-6 b@-6) c@-6) d@-6))"},
      // Comparisons bind looser than the bitwise operators.
      {"x = a & b == c | d", "(= x@-6 (== (& a@-6 b@-6) (| c@-6 d@-6)))"},
      {"x = a < b << c + d * e", "(= x@-6 (< a@-6 (<< b@-6 (+ c@-6 (* d@-6 e@-6)))))"},
      {"x = a - b - c", "(= x@-6 (- (- a@-6 b@-6) c@-6))"},
      // A unary operator takes the whole dot chain, and binds tighter than *.
      {"x = -a.b", "(= x@-6 (- (. a@-6 b)))"},
      {"x = -a * b", "(= x@-6 (* (- a@-6) b@-6))"},
      {"x = !a.b[1] = c", "(= x@-6 (= (! (. a@-6 b [1])) c@-6))"},
      {"a.b.c = 1", "(= (. (. a@-6 b) c) 1)"},
      {"a[i, j] = 1", "(= (. -6 a [i@-6 j@-6]) 1)"},
      {"var a b; a = b", "(var a b) (= a@-7 b@-7)"},
      {"for (i = 0 i < 3 i += 1) x = i", "(for (= i@-6 0) (< i@-6 3) (+= i@-6 1) (= x@-6 i@-6))"},
      {"for (i = 0; i < 3; i += 1) x = i", "(for (= i@-6 0) (< i@-6 3) (+= i@-6 1) (= x@-6 i@-6))"},
      {"while a do b = 1", "(while a@-6 (= b@-6 1))"},
      {"do a = 1 until a", "(do (= a@-6 1) a@-6)"},
      {"with other do x = 1", "(with -2 (= x@-6 1))"},
      {"repeat 3 {x += 1;;}", "(repeat 3 (block (+= x@-6 1)))"},
      {"switch x { case 1: case y: default: break }",
       "(switch x@-6 (case-const 1) (case y@-6) (default) (break))"},
      {"exit; continue; return 1 + 2", "(exit) (continue) (return 3)"},
      {";", "(nothing)"},
      {"begin x = 1 end", "(= x@-6 1)"},
      {"x = any()", "(= x@-6 (call any))"},
  };
  for (const Case& c : cases) EXPECT_EQ(Body(c.text), c.body) << c.text;
  EXPECT_EQ(Tree("{ x = 1 };"), "(block (= x@-6 1))") << "one block is the program";
  EXPECT_EQ(Tree("", true), "0");
  EXPECT_EQ(Tree("a + 1 )( junk", true), "(+ a@-6 1)") << "tokens after the expression are ignored";
}

TEST_F(Compiler, TreePassFoldsConstantsAndMakesLocalsAndSimpleVariables) {
  struct Case {
    const char* text;
    const char* body;
  };
  const Case cases[] = {
      {"x = 2 * 3 + 1", "(= x@-6 7)"},
      {"x = 'a' + \"b\"", "(= x@-6 \"ab\")"},
      {"x = 2 * 'ab'", "(= x@-6 \"abab\")"},
      {"x = -(2) + ~0 + !0.4", "(= x@-6 -2)"},
      {"x = y / 0", "(= x@-6 (/ y@-6 0))"},
      {"var i; i = 0", "(var i) (= i@-7 0)"},
      {"i = 0; var i", "(= i@-6 0) (var i)"},
      {"x = other.x + global.y + (1.5).z + (2.5).w", "(= x@-6 (+ (+ (+ x@-2 y@-5) z@2) w@2))"},
      {"x = self.a[0]", "(= x@-6 (. -1 a [0]))"},
      {"x = a.b", "(= x@-6 (. a@-6 b))"},
      {"case 3: case y:", "(case-const 3) (case y@-6)"},
  };
  for (const Case& c : cases) EXPECT_EQ(Body(c.text), c.body) << c.text;

  CCode expr(std::string("3+4"), true);
  ASSERT_TRUE(expr.Compile("e"));
  EXPECT_EQ(expr.Kind(), CCode::kConstantExpression);
  EXPECT_EQ(expr.Constant().real, 7.0);
  EXPECT_EQ(expr.Bytecode(), nullptr);
}

// Every compile error with its line and position (counted from 1) as the
// error text gives them.
TEST_F(Compiler, EveryErrorNamesItsLineAndPosition) {
  struct Case {
    const char* text;
    const char* message;
    int line;
    int position;
  };
  const Case cases[] = {
      {"x = 1 # 2", "Unexpected symbol.", 1, 7},
      {"x = 1\ny = ?", "Unexpected symbol.", 2, 5},
      {"x = nothing_called_this(1)", "Unknown function or script: nothing_called_this", 1, 5},
      {"x = add2(1", "Symbol ) expected.", 1, 11},
      {"x = add2(1 2)", "Symbol , or ) expected.", 1, 12},
      {"x = add2(1)", "Wrong number of arguments to function or script.", 1, 5},
      {"x = any(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17)", "Wrong number of arguments to function or script.", 1, 5},
      {"x = a.if", "Variable name expected.", 1, 7},
      {"5 = 3", "Variable name expected.", 1, 1},
      {"x = a[1 2]", "Symbol , or ] expected.", 1, 9},
      {"x = a[1", "Symbol ] expected.", 1, 8},
      {"x = a[1,2,3]", "Only 1- and 2-dimensional arrays are supported.", 1, 12},
      {"x = * 2", "Unexpected symbol in expression.", 1, 5},
      {"x = (1 + 2", "Symbol ) expected.", 1, 11},
      {"x\n+ 1", "Assignment operator expected.", 2, 1},
      {"var q, argument_count", "Cannot redeclare a builtin variable.", 1, 8},
      {"switch x { case 1 x = 2 }", "Symbol : expected.", 1, 19},
      {"switch x { default x = 2 }", "Symbol : expected.", 1, 20},
      {"switch x case 1:", "Symbol {  expected.", 1, 10},
      {"switch x { case 1: y = 2", "Symbol  } expected.", 1, 25},
      {"{ x = 1", "Symbol  } expected.", 1, 8},
      {"do x = 1 while x", "Keyword until expected.", 1, 10},
      {"for i = 0", "Symbol ( expected.", 1, 5},
      {"for (i = 0; i < 1; i += 1 x = 2", "Symbol ) expected.", 1, 27},
      {"if x", "Unexpected end of code reached.", 1, 5},
      {"{ x = 1 } y = 2", "Program ends before end of the code.", 1, 11},
      {"x = 1 / 0", "Division by 0.", 1, 9},
      {"x = 5 mod 0", "Modulo by 0.", 1, 11},
      {"x = 'a' - 1", "Wrong type of arguments to -.", 1, 11},
      {"x = 'a' ^^ 1", "Wrong type of arguments for ^^.", 1, 12},
      {"x = -'a'", "Wrong type of arguments to unary operator.", 1, 5},
      {"x = 'a' < 1", "Cannot compare arguments.", 1, 11},
      {"x = 'abc'.x", "Left hand side must be a real value.", 1, 6},
  };
  for (const Case& c : cases) {
    CCode code(c.text, false);
    EXPECT_FALSE(code.Compile("t")) << c.text;
    char expected[256];
    std::snprintf(expected, sizeof expected, "at position %d: %s", c.position, c.message);
    const std::string& text = Code_PendingErrorText();
    EXPECT_EQ(text.rfind("Error in code at line " + std::to_string(c.line) + ":\n", 0), 0u) << c.text << "\n" << text;
    EXPECT_EQ(text.substr(text.rfind("\n\n") + 2), expected) << c.text;
  }
  CCode code(std::string("x = 1"), false);
  ASSERT_TRUE(code.Compile("t"));
  EXPECT_FALSE(code.Compile("t"));
  EXPECT_NE(Code_PendingErrorText().find("Internal Error: Recompiling compiled code."), std::string::npos);
}

TEST_F(Compiler, HostileTextEndsInAnErrorNotACrash) {
  const std::string deep = std::string(100000, '(') + "1" + std::string(100000, ')');
  EXPECT_NE(Tree("x = " + deep).find("Code is nested too deeply."), std::string::npos);
  std::string chain = "x = a";
  for (int i = 0; i < 50000; ++i) chain += ".a";
  EXPECT_NE(Tree(chain).find("Code is nested too deeply."), std::string::npos);
  std::string sum = "x = a";
  for (int i = 0; i < 50000; ++i) sum += "+a";
  EXPECT_NE(Tree(sum).find("Code is nested too deeply."), std::string::npos);
  std::string minus = "x = " + std::string(50000, '-') + "a";
  EXPECT_NE(Tree(minus).find("Code is nested too deeply."), std::string::npos);
  std::string ifs;
  for (int i = 0; i < 50000; ++i) ifs += "if a ";
  EXPECT_NE(Tree(ifs + "x = 1").find("Code is nested too deeply."), std::string::npos);
  // Deep, but within the bound: right-nested operands keep values pending.
  std::string nested = "x = ";
  for (int i = 0; i < 300; ++i) nested += "a + (";
  nested += "a" + std::string(300, ')');
  EXPECT_EQ(Tree(nested).find("error:"), std::string::npos);
  std::string calls = "x = ";
  // Arguments go last first, so the rest wait while each first one is made.
  for (int i = 0; i < 120; ++i) calls += "any(";
  calls += "1";
  for (int i = 0; i < 120; ++i) calls += ",2,3,4,5,6,7,8,9,10,11,12,13,14,15,16)";
  EXPECT_NE(Tree(calls).find("Expression is too complex."), std::string::npos);
}

TEST_F(Compiler, ProgramsRunOnTheMachine) {
  struct Case {
    const char* text;
    double result;
  };
  const Case cases[] = {
      {"var a; a = 2 + 3 * 4; return a", 14},
      {"var a, b; a = 7; b = 2; return a div b * 10 + a mod b", 31},
      {"var s; s = 0; var i; for (i = 0; i < 5; i += 1) s += i; return s", 10},
      {"var n; n = 0; repeat (0) n += 1; repeat (-3) n += 1; repeat (2.7) n += 10; return n", 20},
      {"var n; n = 0; repeat (3) { n += 1; continue; n += 100 } return n", 3},
      {"var i; i = 0; while (true) { i += 1; if i >= 4 break } return i", 4},
      {"var i; i = 0; do { i += 1; if i < 3 continue; i += 10 } until i > 5; return i", 13},
      {"var u, w; w = 0; u = 2; switch (u) { case 1: case 2: w = 1; break; case 3: w = 3 } return w", 1},
      {"var w; w = 0; switch (9) { case 1: w = 1; case 9: } return w", 0},
      {"var w; w = 0; switch (1) { default: w = 5; break; case 1: w = 1 } return w", 5},
      {"var w, i; w = 0; for (i = 0; i < 3; i += 1) switch (i) { case 1: continue; default: w += 1 } return w", 2},
      {"var a; a[1, 2] = 5; a[0] = 1; return a[1, 2] + a[0]", 6},
      {"var a; a = 6; a |= 1; a &= 5; a ^= 3; return a", 6},
      {"var a; a = 5; a -= 1; a *= 3; a /= 4; return a", 3},
      {"globalvar g; g = 4; global.h = 3; return g * global.h", 12},
      {"return add2(2, 3) + any(1, 2, 3)", 8},
      {"if 1 < 2 and 3 > 4 return 1 else return 2", 2},
      {"return (5 > 3) + !(2 = 2) + (1 xor 0) + ~0 + (-7 >> 1) + (1 << 4)", 13},
      {"var a; a = 0.5; return a * 4 - 70000 + 5000000000 - 5000000000 + 70000", 2},
      {"with (noone) { return 1 } return 2", 2},
      {"var i; i = 0; with (noone) { i += 1; break; i += 10 } return i", 0},
      {"var a, b; a = 1; b = 2; return a < b && b < 3 || a > 5", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(RunReal(c.text), c.result) << c.text;

  ScriptValue text = Run("var t; t = 'ab'; t += \"c\"; return t");
  EXPECT_STREQ(text.Text(), "abc");
  ScriptValue_Free(&text);
  EXPECT_EQ(RunReal("add2(1, 2) * 0.5 + 0.25", true), 1.75);
}

TEST_F(Compiler, GeneratedCodeHasTheSpecifiedShape) {
  CCode five(std::string("x = 5"), false);
  ASSERT_TRUE(five.Compile("t"));
  ASSERT_NE(five.Bytecode(), nullptr);
  ASSERT_EQ(five.Bytecode()->Size(), 12);
  EXPECT_EQ(five.Bytecode()->WordAt(0), VM_Word(kOpPush, kVMImmediate, 0, 5));
  EXPECT_EQ(five.Bytecode()->WordAt(4), VM_Word(kOpPop, kVMVariable, kVMInt, -6));
  EXPECT_EQ(five.Bytecode()->WordAt(8) & VariableRef::kFlagMask, VariableRef::kNoIndex | VariableRef::kImmediateInstance);

  struct Case {
    const char* text;
    uint8_t type;
  };
  const Case pushes[] = {{"x = 70000", kVMInt}, {"x = 5000000000", kVMLong}, {"x = 0.5", kVMDouble}};
  for (const Case& c : pushes) {
    CCode code(std::string(c.text), false);
    ASSERT_TRUE(code.Compile("t"));
    EXPECT_EQ(code.Bytecode()->WordAt(0), VM_Word(kOpPush, c.type, 0, 0)) << c.text;
  }
  // Nothing is generated for globalvar alone; the name is declared at once.
  const int id = VariableName_ToID("tw_compiled_global");
  EXPECT_FALSE(GlobalVar_IsDeclared(id));
  CCode decl(std::string("globalvar tw_compiled_global;"), false);
  ASSERT_TRUE(decl.Compile("t"));
  EXPECT_EQ(decl.Bytecode(), nullptr);
  EXPECT_TRUE(GlobalVar_IsDeclared(id));
  // An instance id beyond what an immediate holds goes through the stack.
  CCode far(std::string("(250000).x = 1"), false);
  ASSERT_TRUE(far.Compile("t"));
  std::string why;
  EXPECT_TRUE(VM_Verify(*far.Bytecode(), &why)) << why;
  EXPECT_EQ(far.Bytecode()->WordAt(4), VM_Word(kOpPush, kVMInt, 0, 0));
  EXPECT_EQ(far.Bytecode()->WordAt(8), 250000u);
}

TEST_F(Compiler, MachineErrorsNameTheLineOfCodeCompiledFromText) {
  struct Case {
    const char* text;
    const char* message;
    const char* at;
  };
  const Case cases[] = {
      // The failing store is the last instruction of its line.
      {"var a;\na = 1;\ninstance_count = a;\na = 2;", "read only variable?", " at run (line 3) - instance_count = a;"},
      // An expression over two lines fails on the second.
      {"var a, z;\nz = 0;\na = 1 +\n  2 / z;", "DoDiv :: Divide by zero", " at run (line 4) -   2 / z;"},
      // Two-byte characters before the line leave its text right.
      {"// \xC3\xA9\xC3\xA9\xC3\xA9\nvar z; z = 0;\nreturn 1 / z;", "DoDiv :: Divide by zero",
       " at run (line 3) - return 1 / z;"},
      {"var a;\nfor (a = 0; a < 3; a += 1) {\n  if (a == 2)\n    a = a mod (a - a);\n}", "DoMod :: Divide by zero",
       " at run (line 4) -     a = a mod (a - a);"},
  };
  for (const Case& c : cases) {
    CCode code(std::string(c.text), false);
    ASSERT_TRUE(code.Compile("run")) << c.text << "\n" << Code_PendingErrorText();
    ASSERT_NE(code.LineTable(), nullptr) << c.text;
    Error_ResetForTests();
    ScriptValue result;
    Code_Run(nullptr, nullptr, &code, &result);
    ScriptValue_Free(&result);
    const std::string text = Error_LastText();
    EXPECT_NE(text.find(c.message), std::string::npos) << c.text << "\n" << text;
    EXPECT_NE(text.find(c.at), std::string::npos) << c.text << "\n" << text;
  }
}

TEST_F(Compiler, TheLineTableHasARecordPerRunOfOneLine) {
  CCode code(std::string("x = 1;\ny = 2; z = 3;\n\nx = 4;"), false);
  ASSERT_TRUE(code.Compile("t"));
  const VMBuffer* table = code.LineTable();
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->Size(), 3 * int(sizeof(VMLineRecord)));
  const auto* r = reinterpret_cast<const VMLineRecord*>(table->Data());
  // Each assignment of a small constant is 12 bytes.
  const int32_t offsets[] = {0, 12, 36}, lines[] = {1, 2, 4};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(r[i].offset, offsets[i]) << i;
    EXPECT_EQ(SourceText_LineNumber(&r[i], code.GetText(), nullptr), lines[i]) << i;
  }
  // A program that generates no code has no table either.
  CCode empty(std::string("var a;\n"), false);
  ASSERT_TRUE(empty.Compile("t"));
  EXPECT_EQ(empty.LineTable(), nullptr);
}

TEST_F(Compiler, ScriptsCompileTheirTextThroughTheInstalledCompiler) {
  VM_Init();
  CScript script("five");
  script.SetText("return 5");
  ASSERT_TRUE(script.Compile());
  ASSERT_NE(script.Code()->Bytecode(), nullptr);
  CScript broken("broken");
  broken.SetText("return (");
  EXPECT_FALSE(broken.Compile());
  Script_SetCompiler(nullptr);
}

}  // namespace
