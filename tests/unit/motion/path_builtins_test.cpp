// The path family of the resource group: registration, what each built-in
// gives or changes, and the misuse it reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/paths.h"
#include "motion/motion.h"
#include "unit/script/builtins_call.h"

namespace {

class PathBuiltins : public BuiltinsTest {
 protected:
  void SetUp() override {
    BuiltinsTest::SetUp();
    Path_RegisterResourceFunctions();
    Path_FreeAll();
  }
  void TearDown() override {
    Path_FreeAll();
    BuiltinsTest::TearDown();
  }

  // A new straight open path through the points, speed 100.
  static int Line(std::initializer_list<std::pair<float, float>> points) {
    const int p = int(Real("path_add"));
    Call("path_set_closed", {p, 0});
    for (auto [x, y] : points) Call("path_add_point", {p, x, y, 100});
    return p;
  }
};

TEST_F(PathBuiltins, RegisteredInOrderWithTheirCounts) {
  const std::pair<const char*, int> order[] = {
      {"path_name", 1},         {"path_exists", 1},          {"path_get_name", 1},      {"path_get_length", 1},
      {"path_get_kind", 1},     {"path_get_closed", 1},      {"path_get_precision", 1}, {"path_get_number", 1},
      {"path_get_point_x", 2},  {"path_get_point_y", 2},     {"path_get_point_speed", 2}, {"path_get_x", 2},
      {"path_get_y", 2},        {"path_get_speed", 2},       {"path_set_kind", 2},      {"path_set_closed", 2},
      {"path_set_precision", 2}, {"path_add", 0},            {"path_duplicate", 1},     {"path_assign", 2},
      {"path_append", 2},       {"path_delete", 1},          {"path_add_point", 4},     {"path_insert_point", 5},
      {"path_change_point", 5}, {"path_delete_point", 2},    {"path_clear_points", 1},  {"path_reverse", 1},
      {"path_mirror", 1},       {"path_flip", 1},            {"path_rotate", 2},        {"path_rescale", 3},
      {"path_shift", 3},
  };
  int last = -1;
  for (auto [name, count] : order) {
    const int index = FunctionRegistry_Find(name);
    EXPECT_GT(index, last) << name;
    last = index;
    EXPECT_EQ(FunctionRegistry_GetArgCount(index), count) << name;
  }
}

TEST_F(PathBuiltins, GettersOfAPathAndOfNone) {
  const int p = Line({{0, 0}, {30, 40}});
  Call("path_change_point", {p, 1, 30, 40, 50});
  EXPECT_EQ(Real("path_exists", {p}), 1);
  EXPECT_EQ(Text("path_get_name", {p}), "__newpath0");
  EXPECT_EQ(Text("path_name", {p}), "__newpath0");
  const struct {
    const char* name;
    std::vector<double> args;
    double value;
  } getters[] = {
      {"path_get_length", {}, 50},       {"path_get_kind", {}, 0},         {"path_get_closed", {}, 0},
      {"path_get_precision", {}, 4},     {"path_get_number", {}, 2},       {"path_get_point_x", {1}, 30},
      {"path_get_point_y", {1.4}, 40},   {"path_get_point_speed", {1}, 50}, {"path_get_point_x", {99}, 0},
      {"path_get_x", {0.5}, 15},         {"path_get_y", {0.5}, 20},        {"path_get_speed", {0.5}, 75},
      {"path_get_y", {2}, 40},
  };
  for (const auto& g : getters) {
    std::vector<ScriptValue> with(1 + g.args.size()), without(1 + g.args.size());
    with[0].real = p;
    without[0].real = p + 1;
    for (size_t i = 0; i < g.args.size(); ++i) with[i + 1].real = without[i + 1].real = g.args[i];
    EXPECT_DOUBLE_EQ(CallArgs(g.name, with).Real(), g.value) << g.name;
    const Outcome none = CallArgs(g.name, without);
    EXPECT_EQ(none.Real(), -1) << g.name << " of no path";
    EXPECT_FALSE(none.reported) << g.name;
  }
  EXPECT_EQ(Real("path_exists", {p + 1}), 0);
  EXPECT_EQ(Text("path_get_name", {-1}), "<undefined>");
}

TEST_F(PathBuiltins, SettersAndEdits) {
  const int p = Line({{0, 0}, {10, 0}});
  Call("path_set_closed", {p, 0.5});
  EXPECT_EQ(Real("path_get_closed", {p}), 1) << "closed from 0.5 up";
  Call("path_set_closed", {p, 0.49});
  Call("path_set_precision", {p, 20});
  EXPECT_EQ(Real("path_get_precision", {p}), 8);
  Call("path_set_kind", {p, 1});
  EXPECT_EQ(Real("path_get_kind", {p}), 1);
  Call("path_set_kind", {p, 5});
  EXPECT_EQ(Real("path_get_kind", {p}), 0);
  Call("path_insert_point", {p, 1, 5, 5, 100});
  Call("path_delete_point", {p, 2});
  EXPECT_EQ(Real("path_get_point_y", {p, 1}), 5);
  EXPECT_EQ(Real("path_get_number", {p}), 2);
  Call("path_shift", {p, 1, 2});
  Call("path_reverse", {p});
  EXPECT_EQ(Real("path_get_point_x", {p, 0}), 6);
  EXPECT_EQ(Real("path_get_point_y", {p, 1}), 2);
  Call("path_rescale", {p, 2, 2});  // about the centre (3.5, 4.5)
  EXPECT_EQ(Real("path_get_point_x", {p, 1}), -1.5);
  EXPECT_EQ(Real("path_get_point_y", {p, 1}), -0.5);
  Call("path_mirror", {p});
  Call("path_flip", {p});
  EXPECT_EQ(Real("path_get_point_x", {p, 1}), 8.5);
  EXPECT_EQ(Real("path_get_point_y", {p, 1}), 9.5);
  Call("path_rotate", {p, 180});
  EXPECT_NEAR(Real("path_get_point_x", {p, 1}), -1.5, 1e-4);
  EXPECT_NEAR(Real("path_get_point_y", {p, 1}), -0.5, 1e-4);
  EXPECT_EQ(Real("path_get_point_speed", {p, 1}), 100) << "transforms keep speeds";
  Call("path_clear_points", {p});
  EXPECT_EQ(Real("path_get_number", {p}), 0);
  EXPECT_EQ(Real("path_get_closed", {p}), 0) << "clearing keeps the flags";
}

TEST_F(PathBuiltins, TableBuiltinsAndTheirMisuse) {
  const double a = Line({{0, 0}, {10, 0}});
  const double b = Real("path_duplicate", {a});
  EXPECT_EQ(b, 1);
  EXPECT_EQ(Real("path_get_length", {b}), 10);
  Call("path_append", {a, b});
  EXPECT_EQ(Real("path_get_number", {a}), 4);
  const struct {
    const char* name;
    std::vector<double> args;
    const char* report;
  } misuse[] = {
      {"path_duplicate", {7}, "Trying to duplicate non-existing path."},
      {"path_append", {7, a}, "Appending to non-existing path."},
      {"path_append", {a, 7}, "Appending a non-existing path."},
      {"path_assign", {a, a}, "Error assigning a path."},
      {"path_assign", {a, 7}, "Error assigning a path."},
      {"path_delete", {7}, "Trying to delete non-existing path."},
  };
  for (const auto& m : misuse) {
    std::vector<ScriptValue> args(m.args.size());
    for (size_t i = 0; i < m.args.size(); ++i) args[i].real = m.args[i];
    const Outcome out = CallArgs(m.name, args);
    EXPECT_NE(out.report.find(m.report), std::string::npos) << m.name << ": " << out.report;
    EXPECT_EQ(out.Real(), 0) << m.name;
  }
  EXPECT_EQ(Real("path_get_number", {a}), 4) << "nothing appended";
  EXPECT_EQ(Real("path_delete", {b}), 1);
  EXPECT_EQ(Real("path_exists", {b}), 0);
  // Assigning into the deleted slot makes a path there again.
  Call("path_assign", {b, a});
  EXPECT_EQ(Real("path_get_number", {b}), 4);
  EXPECT_EQ(Real("path_add"), 2);
  // Edits of a path that is not there do nothing and report nothing.
  EXPECT_FALSE(Call("path_add_point", {9, 1, 1, 100}).reported);
  EXPECT_FALSE(Call("path_rotate", {9, 90}).reported);
}

}  // namespace
