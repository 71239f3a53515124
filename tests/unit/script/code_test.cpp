#include "script/code.h"

#include <gtest/gtest.h>

#include <vector>

#include "script/bytecode.h"
#include "script/code_run.h"
#include "script/vm.h"

namespace {

std::unique_ptr<VMBuffer> Table(std::vector<VMLineRecord> records) {
  return std::make_unique<VMBuffer>(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(records.data()),
                                                             records.size() * sizeof(VMLineRecord)));
}

TEST(LineTable, FindsTheLastRecordNotAboveTheOffset) {
  auto t = Table({{0, 0}, {12, 9}, {40, 30}});
  EXPECT_EQ(VMDebugInfo_Find(t.get(), 5)->position, 0);
  EXPECT_EQ(VMDebugInfo_Find(t.get(), 12)->position, 9);
  EXPECT_EQ(VMDebugInfo_Find(t.get(), 100)->position, 30);
  auto late = Table({{4, 1}});
  EXPECT_EQ(VMDebugInfo_Find(late.get(), 0), nullptr);
  EXPECT_EQ(VMDebugInfo_Find(nullptr, 0), nullptr);
}

TEST(SourceText, LineTextAndNumber) {
  const char* text = "a\r\nb\r\nc";
  VMLineRecord r{0, 3};
  EXPECT_EQ(SourceText_LineText(&r, text), "b");
  EXPECT_EQ(SourceText_LineNumber(&r, text, nullptr), 2);
  VMLineRecord first{0, 0};
  EXPECT_EQ(SourceText_LineText(&first, text), "a");
  EXPECT_EQ(SourceText_LineNumber(&first, text, nullptr), 1);
  VMLineRecord beyond{0, 1000};
  EXPECT_EQ(SourceText_LineText(&beyond, text), "c");
  EXPECT_EQ(SourceText_LineNumber(&beyond, text, nullptr), 3);
  EXPECT_EQ(SourceText_LineText(nullptr, text), "<unknown source line>");
  EXPECT_EQ(SourceText_LineNumber(nullptr, text, nullptr), -1);
  VMLineRecord negative{0, -4};
  EXPECT_EQ(SourceText_LineNumber(&negative, text, nullptr), -1);
}

TEST(SourceText, PositionsAreByteOffsetsForTheTextAsForTheNumber) {
  // Two-byte characters before the line: the text and the number agree.
  const char* text = "\xC3\xA9\xC3\xA9\na\nb";
  VMLineRecord r{0, 5};  // the a
  EXPECT_EQ(SourceText_LineText(&r, text), "a");
  EXPECT_EQ(SourceText_LineNumber(&r, text, nullptr), 2);
}

TEST(SourceText, LineDirectivesRenumber) {
  std::string text = "first\n#line other 10\nx\ny\nz";
  VMLineRecord r{0, int32_t(text.find('z'))};  // two lines below the directive's next line
  std::string file;
  EXPECT_EQ(SourceText_LineNumber(&r, text.c_str(), &file), 12);
  EXPECT_EQ(file, "other");
  VMLineRecord x{0, int32_t(text.find('x'))};
  EXPECT_EQ(SourceText_LineNumber(&x, text.c_str(), nullptr), 10);
}

TEST(SourceText, LongLinesAreCut) {
  std::string text(1000, 'q');
  VMLineRecord r{0, 500};
  EXPECT_EQ(SourceText_LineText(&r, text.c_str()).size(), 254u);
}

TEST(CodeObject, NamesLoseTheirWhiteSpace) {
  CCode code(std::string("x = 1"), false);
  code.SetName("my\tscript name");
  EXPECT_EQ(code.Name(), "my_script_name");
  EXPECT_EQ(code.Kind(), CCode::kProgram);
  EXPECT_FALSE(code.Compiled());
  EXPECT_FALSE(code.Listed());
}

TEST(CodeObject, IndexedCodeIsListedUntilDeleted) {
  int before = Code_ListCount();
  {
    CCode a(5, false), b(6, true);
    EXPECT_EQ(Code_ListCount(), before + 2);
    EXPECT_EQ(Code_ListHead(), &b);
    EXPECT_EQ(b.Kind(), CCode::kExpression);
    // No game is loaded: no bytecode, and it runs as nothing.
    EXPECT_EQ(a.Bytecode(), nullptr);
    ScriptValue result;
    EXPECT_TRUE(Code_Run(nullptr, nullptr, &a, &result));
  }
  EXPECT_EQ(Code_ListCount(), before);
}

TEST(CodeErrors, FirstErrorIsKeptWithLineAndPosition) {
  Code_ClearPendingError();
  CCode prog(std::string("x = 1\n  y = ;\nz"), false);
  Code_ReportError(&prog, 12, "unexpected symbol");
  EXPECT_TRUE(Code_HasPendingError());
  EXPECT_EQ(Code_PendingErrorText(), "Error in code at line 2:\n     y = ;\n\nat position 7: unexpected symbol");
  Code_ReportError(&prog, 0, "second");
  EXPECT_NE(Code_PendingErrorText().find("unexpected symbol"), std::string::npos);
  Code_ClearPendingError();

  CCode one(std::string("bad"), false);
  Code_ReportError(&one, 0, "m");
  EXPECT_EQ(Code_PendingErrorText(), "Error in code at line 1:\n   bad\n\nat position 1: m");
  Code_ClearPendingError();

  CCode expr(std::string("1 +"), true);
  Code_ReportError(&expr, 99, "end");
  EXPECT_EQ(Code_PendingErrorText(), "Error in expression: 1 +\n position 4: end");
  Code_ClearPendingError();
}

TEST(CodeErrors, RunOrErrorValueGivesTheTextError) {
  g_UseVM = false;
  CCode notCompiled(std::string("x"), false);
  ScriptValue result;
  EXPECT_FALSE(Code_RunOrErrorValue(nullptr, nullptr, &notCompiled, &result));
  EXPECT_STREQ(result.Text(), "ERROR");
  EXPECT_EQ(Code_PendingErrorText().find("Error in code at line 1"), 0u);
  Code_ClearPendingError();
  g_UseVM = true;
  ScriptValue_Free(&result);
}

}  // namespace
