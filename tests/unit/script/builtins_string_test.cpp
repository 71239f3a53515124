#include "script/builtins_string.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "unit/script/builtins_call.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

using StringBuiltins = BuiltinsTest;

TEST(StringRoutines, FindCountsCharactersAndRefusesEmptyTexts) {
  EXPECT_EQ(UTF8_Find("lo", "hello"), 3);
  EXPECT_EQ(UTF8_Find("b", "\xC3\xA9\xE2\x82\xAC" "b"), 2);  // after two multi-byte characters
  EXPECT_EQ(UTF8_Find("\xE2\x82\xAC", "a\xE2\x82\xAC"), 1);
  EXPECT_EQ(UTF8_Find("", "hello"), -1);
  EXPECT_EQ(UTF8_Find("h", ""), -1);
  EXPECT_EQ(UTF8_Find(nullptr, "hello"), -1);
  EXPECT_EQ(UTF8_Find("h", nullptr), -1);
  EXPECT_EQ(UTF8_Find("lox", "hello"), -1);
  EXPECT_EQ(UTF8_Find("llo!", "hello"), -1);  // runs past the end
}

TEST(StringRoutines, SubstringCountsCharacters) {
  EXPECT_EQ(String_Substring("h\xC3\xA9llo", 1, 2), "\xC3\xA9l");
  EXPECT_EQ(String_Substring("hello", 3, 100), "lo");
  EXPECT_EQ(String_Substring("hello", 5, 1), "");
  EXPECT_EQ(String_Substring("hello", 9, 1), "");
  EXPECT_EQ(String_Substring("hello", -1, 2), "");
  EXPECT_EQ(String_Substring("hello", 0, 0), "");
  EXPECT_EQ(String_Substring(nullptr, 0, 3), "");
  // A sequence cut short by the end never reads past the terminator.
  EXPECT_EQ(String_Substring("a\xE2\x82", 1, 5), "\xE2\x82");
}

struct TextCase {
  const char* name;
  std::initializer_list<Arg> args;
  std::string expected;
};

TEST_F(StringBuiltins, EditingAndSlicing) {
  const std::string e = "\xC3\xA9";  // a two-byte character
  const TextCase cases[] = {
      {"string_copy", {"hello", 2, 3}, "ell"},
      {"string_copy", {"hello", 0, 2}, "he"},
      {"string_copy", {"hello", 6, 2}, ""},
      {"string_copy", {"hello", 2.5, 1.5}, "el"},  // halves to even: 2 and 2
      {"string_copy", {"hello", 4, -3}, ""},
      {"string_copy", {("h" + e + "llo").c_str(), 2, 2}, e + "l"},
      {"string_copy", {"hello", kNaN, kNaN}, ""},
      {"string_copy", {"hello", -kInf, kInf}, "hello"},
      {"string_copy", {"hello", 1, 1e300}, "hello"},
      {"string_delete", {"abcd", 2, 2}, "ad"},
      {"string_delete", {"abcd", 3, 0}, "abcd"},
      {"string_delete", {"abcd", 3, 10}, "ab"},
      {"string_delete", {"abcd", 0, 2}, "abcd"},
      {"string_delete", {"abcd", 5, 1}, "abcd"},
      {"string_delete", {("a" + e + "b").c_str(), 2, 1}, "ab"},
      {"string_delete", {"abcd", 2, kInf}, "a"},
      {"string_delete", {"abcd", kNaN, 1}, "abcd"},
      {"string_insert", {"XY", "abc", 2}, "aXYbc"},
      {"string_insert", {"XY", "abc", 10}, "abcXY"},
      {"string_insert", {"XY", "abc", -4}, "XYabc"},
      {"string_insert", {"XY", "abc", kNaN}, "XYabc"},
      {"string_insert", {"XY", "abc", 1e300}, "abcXY"},
      {"string_insert", {"", "abc", 2}, "abc"},
      {"string_insert", {"X", ("a" + e + "b").c_str(), 3}, "a" + e + "Xb"},
      {"string_replace_all", {"aaaa", "aa", "b"}, "bb"},
      {"string_replace", {"aaaa", "aa", "b"}, "baa"},
      {"string_replace_all", {"abc", "", "x"}, "abc"},
      {"string_replace_all", {"abc", 5, "x"}, "abc"},
      {"string_replace_all", {"abcb", "b", 7}, "ac"},
      {"string_replace_all", {("x" + e + "x" + e).c_str(), e.c_str(), "-"}, "x-x-"},
      {"string_replace", {"abc", "abc", "\xE2\x82\xAC"}, "\xE2\x82\xAC"},
      {"string_repeat", {"ab", 3}, "ababab"},
      {"string_repeat", {"ab", 2.5}, "abab"},
      {"string_repeat", {"ab", 0}, ""},
      {"string_repeat", {"ab", -1}, ""},
      {"string_repeat", {"", 5}, ""},
      {"string_repeat", {"ab", kNaN}, ""},
  };
  for (const TextCase& c : cases) EXPECT_EQ(Text(c.name, c.args), c.expected) << c.name;
}

TEST_F(StringBuiltins, UnusableArgumentsGiveTheEmptyString) {
  const TextCase cases[] = {
      {"string_copy", {5, 1, 1}, ""},          {"string_copy", {"abc", "1", 1}, ""},
      {"string_delete", {5, 1, 1}, ""},        {"string_insert", {5, "abc", 1}, ""},
      {"string_insert", {"x", 5, 1}, ""},      {"string_replace", {5, "a", "b"}, ""},
      {"string_repeat", {5, 2}, ""},           {"string_lower", {5}, ""},
      {"string_upper", {5}, ""},               {"string_letters", {5}, ""},
      {"string_digits", {"abc"}, ""},          {"string_char_at", {5, 1}, ""},
      {"string_char_at", {"abc", "1"}, ""},
  };
  for (const TextCase& c : cases) {
    Outcome out = Call(c.name, c.args);
    EXPECT_TRUE(out.IsText()) << c.name;
    EXPECT_EQ(out.Text(), "") << c.name;
    EXPECT_FALSE(out.reported) << c.name;
  }
}

TEST_F(StringBuiltins, CopyOutOfBoundsReports) {
  Outcome out = Call("string_copy", {"hello", 7, 1});
  EXPECT_TRUE(out.reported);
  EXPECT_NE(out.report.find("string_copy(hello, 7, 1): Index is out of bounds"), std::string::npos) << out.report;
  EXPECT_EQ(out.report.find("FATAL"), std::string::npos);
  EXPECT_TRUE(out.IsText());
  EXPECT_EQ(out.Text(), "");
  Outcome far = Call("string_copy", {"abc", 1e300, 2});
  EXPECT_NE(far.report.find("string_copy(abc, 2147483647, 2): Index is out of bounds"), std::string::npos);
  EXPECT_FALSE(Error_Aborting());
}

TEST_F(StringBuiltins, CharactersAndBytes) {
  const std::string e = "\xC3\xA9";
  const std::string text = "a" + e + "\xE2\x82\xAC" "z";
  EXPECT_EQ(Text("string_char_at", {text.c_str(), 2}), e);
  EXPECT_EQ(Text("string_char_at", {text.c_str(), 3}), "\xE2\x82\xAC");
  EXPECT_EQ(Text("string_char_at", {text.c_str(), 4}), "z");
  EXPECT_EQ(Text("string_char_at", {text.c_str(), 5}), "");
  EXPECT_EQ(Text("string_char_at", {text.c_str(), -3}), "a");
  EXPECT_EQ(Text("string_char_at", {text.c_str(), kNaN}), "a");
  EXPECT_EQ(Text("string_char_at", {text.c_str(), kInf}), "");
  EXPECT_EQ(Text("string_char_at", {"", 1}), "");
  // The first byte of the two-byte character, as a signed byte.
  EXPECT_EQ(Real("string_byte_at", {text.c_str(), 2}), -61);
  EXPECT_EQ(Real("string_byte_at", {text.c_str(), 1}), 'a');
  EXPECT_EQ(Real("string_byte_at", {text.c_str(), -5}), 'a');
  EXPECT_EQ(Real("string_byte_at", {text.c_str(), 1e300}), 'z');
  EXPECT_EQ(Real("string_byte_at", {text.c_str(), kNaN}), 'a');
  EXPECT_EQ(Real("string_byte_at", {"", 1}), 0);
  EXPECT_EQ(Real("string_byte_at", {5, 1}), 0);
  EXPECT_EQ(Real("string_length", {text.c_str()}), 4);
  EXPECT_EQ(Real("string_byte_length", {text.c_str()}), 7);
  EXPECT_EQ(Real("string_length", {5}), 0);
  EXPECT_EQ(Real("string_byte_length", {""}), 0);
  EXPECT_EQ(Real("ord", {"\xE2\x82\xAC" "a"}), 0x20AC);
  EXPECT_EQ(Real("ord", {""}), 0);
  EXPECT_EQ(Real("ord", {65}), 0);
}

TEST_F(StringBuiltins, SetByteAtChangesACopy) {
  EXPECT_EQ(Text("string_set_byte_at", {"abc", 2, 'X'}), "aXc");
  EXPECT_EQ(Text("string_set_byte_at", {"abc", 1, 256 + 'Y'}), "Ybc");  // low 8 bits
  EXPECT_EQ(Text("string_set_byte_at", {"abc", 3.4, 'Z'}), "abZ");
  for (double bad : {0.0, 4.0, -1.0, kNaN, kInf, 1e300}) {
    Outcome out = Call("string_set_byte_at", {"abc", bad, 'X'});
    EXPECT_TRUE(out.reported) << bad;
    EXPECT_NE(out.report.find("string_set_byte_at : index beyond end of string"), std::string::npos);
    EXPECT_EQ(out.Text(), "abc") << bad;
  }
  Outcome empty = Call("string_set_byte_at", {"", 1, 'X'});
  EXPECT_TRUE(empty.reported);
  // Whatever the other arguments, the result is first a copy of the first.
  Outcome real = Call("string_set_byte_at", {12, 1, 'X'});
  EXPECT_TRUE(real.IsReal());
  EXPECT_EQ(real.Real(), 12);
  EXPECT_FALSE(real.reported);
  EXPECT_EQ(Text("string_set_byte_at", {"abc", "1", 'X'}), "abc");
}

TEST_F(StringBuiltins, SearchingAndCounting) {
  EXPECT_EQ(Real("string_pos", {"lo", "hello"}), 4);
  EXPECT_EQ(Real("string_pos", {"", "hello"}), 0);
  EXPECT_EQ(Real("string_pos", {"z", "hello"}), 0);
  EXPECT_EQ(Real("string_pos", {"l", 5}), 0);
  EXPECT_EQ(Real("string_pos", {"x", "\xE2\x82\xAC" "x"}), 2);
  EXPECT_EQ(Real("string_count", {"aa", "aaaa"}), 3);
  EXPECT_EQ(Real("string_count", {"", "aaaa"}), 0);
  EXPECT_EQ(Real("string_count", {"a", ""}), 0);
  EXPECT_EQ(Real("string_count", {"\xE2\x82\xAC", "\xE2\x82\xAC\xE2\x82\xAC"}), 2);
}

TEST_F(StringBuiltins, CaseAndCharacterClassesAreAscii) {
  const std::string text = "\xC3\x80" "bC-1\xC3\xA9" "2z";  // A grave, e acute
  EXPECT_EQ(Text("string_lower", {text.c_str()}), "\xC3\x80" "bc-1\xC3\xA9" "2z");
  EXPECT_EQ(Text("string_upper", {text.c_str()}), "\xC3\x80" "BC-1\xC3\xA9" "2Z");
  EXPECT_EQ(Text("string_letters", {text.c_str()}), "bCz");
  EXPECT_EQ(Text("string_digits", {text.c_str()}), "12");
  EXPECT_EQ(Text("string_lettersdigits", {text.c_str()}), "bC12z");
  EXPECT_EQ(Text("string_letters", {"123"}), "");
  EXPECT_EQ(Text("string_lower", {"@[`{"}), "@[`{");  // the neighbours of the letters
  EXPECT_EQ(Text("string_upper", {"@[`{"}), "@[`{");
}

TEST_F(StringBuiltins, ConversionFromText) {
  struct Case {
    Arg arg;
    double expected;
  };
  ScriptValue array;
  ScriptValue one = ScriptValue::FromReal(1);
  ScriptValue_SetElement(&array, &one, 0);
  const Case cases[] = {
      {Arg(" 12.5xyz "), 12.5}, {Arg("abc"), 0},        {Arg(""), 0},         {Arg(7.25), 7.25},
      {Arg("\t-3e2\n"), -300},  {Arg("+4"), 4},          {Arg("+-4"), 0},      {Arg(".5"), 0.5},
      {Arg("1\xC3\xA9" "5"), 15}, {Arg("0x10"), 0},      {Arg("1e999"), kInf}, {Arg("-1e999"), -kInf},
      {Arg("1e-999"), 0},       {Arg("12e"), 12},        {Arg(array), 0},
  };
  for (const Case& c : cases) {
    Outcome out = Call("real", {c.arg});
    EXPECT_TRUE(out.IsReal());
    EXPECT_EQ(out.Real(), c.expected) << c.arg.value.Text();
  }
  EXPECT_TRUE(std::isnan(Real("real", {"nan"})));
  ScriptValue_Free(&array);
}

TEST_F(StringBuiltins, ConversionToText) {
  ScriptValue array;
  ScriptValue a = ScriptValue::FromReal(1), b = ScriptValue::FromReal(2.5);
  ScriptValue_SetElement(&array, &a, 0);
  ScriptValue_SetElement(&array, &b, 1);
  EXPECT_EQ(Text("string", {3}), "3");
  EXPECT_EQ(Text("string", {0.5}), "0.50");
  EXPECT_EQ(Text("string", {1e10}), "10000000000.00");
  EXPECT_EQ(Text("string", {kNaN}), "NaN");
  EXPECT_EQ(Text("string", {"text"}), "text");
  EXPECT_EQ(Text("string", {""}), "");
  EXPECT_EQ(Text("string", {array}), "{ 1,2.50 }");
  ScriptValue_Free(&array);

  EXPECT_EQ(Text("string_format", {3.14159, 8, 2}), "  3.14");
  EXPECT_EQ(Text("string_format", {3.14159, 2, 2}), "3.14");
  EXPECT_EQ(Text("string_format", {-2.5, 6, 0}), "    -2");  // halves to even
  EXPECT_EQ(Text("string_format", {"as is", 8, 2}), "as is");
  EXPECT_EQ(Text("string_format", {1.5, 0, 4}), "1.5000");  // the "%-" form of the field
  EXPECT_EQ(Text("string_format", {1.5, 9.9, 3.9}), " 1.500");
  EXPECT_EQ(Text("string_format", {2.75, 4, -3}), "      3");  // no decimals below zero
  EXPECT_EQ(Text("string_format", {2.75, kNaN, kNaN}), "3");
  EXPECT_EQ(Text("string_format", {1, 1e300, 2}), std::string(255, ' '));
  EXPECT_EQ(Text("string_format", {1, 255, 2}), std::string(249, ' ') + "1.00");
  // The cut keeps the start of the field, so a wide field is all blanks.
  EXPECT_EQ(Text("string_format", {1, 300, 2}), std::string(255, ' '));
  std::string many = Text("string_format", {1.0 / 3, 0, 1e300});
  EXPECT_EQ(many.size(), 255u);
  EXPECT_EQ(many.substr(0, 6), "0.3333");
  std::string left = Text("string_format", {1, -300, 2});
  EXPECT_EQ(left.size(), 255u);
  EXPECT_EQ(left.substr(0, 5), "1.00 ");
}

TEST_F(StringBuiltins, CharactersFromCodes) {
  EXPECT_EQ(Text("chr", {8364}), "\xE2\x82\xAC");
  EXPECT_EQ(Text("chr", {233.9}), "\xC3\xA9");  // truncated
  EXPECT_EQ(Text("chr", {65}), "A");
  EXPECT_EQ(Text("chr", {-191}), "A");  // -191 & 0x7F
  EXPECT_EQ(Text("chr", {65536 + 66}), "B");
  EXPECT_EQ(Text("chr", {0}), "");
  EXPECT_EQ(Text("chr", {kNaN}), "");
  EXPECT_EQ(Text("chr", {1e300}), "\xEF\xBF\xBF");
  EXPECT_EQ(Text("ansi_char", {200}), "\xC8");  // one byte, not encoded
  EXPECT_EQ(Text("ansi_char", {256 + 65}), "A");
  EXPECT_EQ(Text("ansi_char", {-191}), "A");
  EXPECT_EQ(Text("ansi_char", {65.5}), "B");  // rounded, halves to even
  EXPECT_EQ(Text("ansi_char", {256}), "");
}

TEST_F(StringBuiltins, RepeatRefusesResultsNoBlockCanHold) {
  EXPECT_EQ(Text("string_repeat", {"abc", 1e18}), "");
  EXPECT_EQ(Text("string_repeat", {"abc", kInf}), "");
  EXPECT_EQ(Text("string_repeat", {"x", 1000}).size(), 1000u);
}

}  // namespace
