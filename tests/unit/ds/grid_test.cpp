#include "ds/grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ds/ds.h"
#include "ds/ds_builtins.h"
#include "script/console.h"
#include "script/random.h"
#include "unit/ds/ds_call.h"
#include "unit/line_console.h"
#include "unit/world_reset.h"

namespace {

using dstest::Call;
using dstest::Value;

using dstest::kMissing;

// A cell as the tests compare it: "r:<real>", "s:<text>" or "a" for an array.
std::string Show(const ScriptValue& v) {
  if (v.IsString()) return std::string("s:") + v.Text();
  if (v.IsArray()) return "a";
  char text[64];
  std::snprintf(text, sizeof text, "r:%.17g", v.real);
  return text;
}

// What the test expects of a cell, kept apart from the engine's values.
struct Cell {
  bool str = false;
  double r = 0;
  std::string s;
  std::string Show() const {
    if (str) return "s:" + s;
    char text[64];
    std::snprintf(text, sizeof text, "r:%.17g", r);
    return text;
  }
  bool operator==(const Cell& o) const { return str == o.str && (str ? s == o.s : r == o.r); }
};
Cell Real(double r) { return Cell{false, r, {}}; }
Cell Str(const std::string& s) { return Cell{true, 0, s}; }

// A model grid, [x][y].
using Model = std::vector<std::vector<Cell>>;

class DSGrid : public dstest::DSWorld {
 protected:
  void SetUp() override {
    DSWorld::SetUp();
    saved_ = g_OutputConsole;
    g_OutputConsole = &console_;
  }
  void TearDown() override {
    g_OutputConsole = saved_;
    WorldTest::TearDown();
  }

  int Make(int w, int h) { return int(Call("ds_grid_create", {double(w), double(h)}).Real()); }
  CDS_Grid* G(int id) { return DS_GetAs<CDS_Grid>(eDS_Grid, id); }

  void Put(int id, int x, int y, const Cell& c) {
    Value v = c.str ? Value(c.s.c_str()) : Value(c.r);
    ScriptValue_Copy(G(id)->Cell(x, y), &v.v);
  }
  int FromModel(const Model& m) {
    const int id = Make(int(m.size()), m.empty() ? 0 : int(m[0].size()));
    for (size_t x = 0; x < m.size(); ++x)
      for (size_t y = 0; y < m[x].size(); ++y) Put(id, int(x), int(y), m[x][y]);
    return id;
  }
  // Every cell, column by column.
  std::vector<std::string> Dump(int id) {
    std::vector<std::string> out;
    CDS_Grid* g = G(id);
    for (int x = 0; x < g->Width(); ++x)
      for (int y = 0; y < g->Height(); ++y) out.push_back(Show(*g->Cell(x, y)));
    return out;
  }
  static std::vector<std::string> Dump(const Model& m) {
    std::vector<std::string> out;
    for (const auto& column : m)
      for (const Cell& c : column) out.push_back(c.Show());
    return out;
  }
  std::string TakeConsole() {
    std::string text = console_.text;
    console_.text.clear();
    return text;
  }

  LineConsole console_;
  tagIConsole* saved_ = nullptr;
};

bool Reported(const dstest::Called& c, const std::string& text) { return c.error.find(text) != std::string::npos; }

TEST_F(DSGrid, ANewGridIsRealZerosAndCellsOutsideArePrintedNotChanged) {
  const int g = Make(3, 2);
  EXPECT_EQ(Call("ds_grid_width", {double(g)}).Real(), 3);
  EXPECT_EQ(Call("ds_grid_height", {double(g)}).Real(), 2);
  EXPECT_EQ(Dump(g), std::vector<std::string>(6, "r:0"));
  auto inside = Call("ds_grid_get", {double(g), 2.0, 1.0});
  EXPECT_EQ(Show(inside.result), "r:0");
  EXPECT_EQ(TakeConsole(), "");

  struct Case {
    double x, y;
    const char* where;
  } outside[] = {
      {3, 0, "[3,0]"}, {-1, 0, "[-1,0]"}, {0, 2, "[0,2]"}, {0, -1, "[0,-1]"}, {3.5, 0, "[4,0]"},
  };
  for (const Case& c : outside) {
    auto got = Call("ds_grid_get", {double(g), c.x, c.y});
    EXPECT_EQ(Show(got.result), "r:0") << c.where;
    EXPECT_EQ(got.error, "");
    EXPECT_EQ(TakeConsole(), "Grid " + std::to_string(g) + ", index out of bounds reading " + c.where +
                                 " - size is [3,2]\n");
    for (const char* writer : {"ds_grid_set", "ds_grid_set_pre", "ds_grid_set_post", "ds_grid_add",
                               "ds_grid_multiply"}) {
      auto set = Call(writer, {double(g), c.x, c.y, 5.0});
      EXPECT_EQ(set.Real(), -12345) << writer;
      EXPECT_EQ(TakeConsole(), "Grid " + std::to_string(g) + ", index out of bounds writing " + c.where +
                                   " - size is [3,2]\n")
          << writer;
    }
  }
  EXPECT_EQ(Dump(g), std::vector<std::string>(6, "r:0"));

  // Coordinates round half to even: 2.5 is column 2, 0.5 row 0.
  Call("ds_grid_set", {double(g), 2.5, 0.5, "x"});
  EXPECT_EQ(Show(*G(g)->Cell(2, 0)), "s:x");
  EXPECT_EQ(Call("ds_grid_get", {double(g), 1.5, 0.0}).Text(), "x");
}

TEST_F(DSGrid, SingleCellWritesAndTheirResults) {
  const int g = Make(2, 2);
  EXPECT_EQ(Call("ds_grid_set", {double(g), 0.0, 0.0, 4.0}).Real(), -12345);
  auto pre = Call("ds_grid_set_pre", {double(g), 0.0, 0.0, 6.0});
  EXPECT_EQ(Show(pre.result), "r:6");
  auto post = Call("ds_grid_set_post", {double(g), 0.0, 0.0, "t"});
  EXPECT_EQ(Show(post.result), "r:6");
  EXPECT_EQ(Show(*G(g)->Cell(0, 0)), "s:t");
  Call("ds_grid_add", {double(g), 0.0, 0.0, "u"});
  Call("ds_grid_add", {double(g), 1.0, 1.0, 2.5});
  Call("ds_grid_multiply", {double(g), 1.0, 1.0, 4.0});
  Call("ds_grid_multiply", {double(g), 0.0, 0.0, 4.0});
  EXPECT_EQ(Dump(g), (std::vector<std::string>{"s:tu", "r:0", "r:0", "r:10"}));
  EXPECT_EQ(Call("ds_grid_get", {double(g), 0.0, 0.0}).Text(), "tu");
}

TEST_F(DSGrid, EveryGridBuiltinRefusesAMissingGrid) {
  const int g = Make(2, 2);
  const int gone = Make(1, 1);
  Call("ds_grid_destroy", {double(gone)});
  for (double bad : {double(gone), -1.0, 99.0}) {
    struct Case {
      const char* name;
      std::vector<Value> args;
      double result;
    } cases[] = {
        {"ds_grid_destroy", {bad}, -12345},
        {"ds_grid_copy", {bad, double(g)}, -12345},
        {"ds_grid_copy", {double(g), bad}, -12345},
        {"ds_grid_resize", {bad, 2.0, 2.0}, -12345},
        {"ds_grid_width", {bad}, 0},
        {"ds_grid_height", {bad}, 0},
        {"ds_grid_clear", {bad, 1.0}, -12345},
        {"ds_grid_set", {bad, 0.0, 0.0, 1.0}, -12345},
        {"ds_grid_set_pre", {bad, 0.0, 0.0, 1.0}, -12345},
        {"ds_grid_set_post", {bad, 0.0, 0.0, 1.0}, -12345},
        {"ds_grid_add", {bad, 0.0, 0.0, 1.0}, -12345},
        {"ds_grid_multiply", {bad, 0.0, 0.0, 1.0}, -12345},
        {"ds_grid_set_region", {bad, 0.0, 0.0, 1.0, 1.0, 1.0}, -12345},
        {"ds_grid_add_disk", {bad, 0.0, 0.0, 1.0, 1.0}, -12345},
        {"ds_grid_set_grid_region", {bad, double(g), 0.0, 0.0, 1.0, 1.0, 0.0, 0.0}, -12345},
        {"ds_grid_add_grid_region", {double(g), bad, 0.0, 0.0, 1.0, 1.0, 0.0, 0.0}, -12345},
        {"ds_grid_get", {bad, 0.0, 0.0}, -12345},
        {"ds_grid_get_sum", {bad, 0.0, 0.0, 1.0, 1.0}, -12345},
        {"ds_grid_get_max", {bad, 0.0, 0.0, 1.0, 1.0}, -12345},
        {"ds_grid_get_disk_mean", {bad, 0.0, 0.0, 1.0}, -12345},
        {"ds_grid_value_exists", {bad, 0.0, 0.0, 1.0, 1.0, 0.0}, -12345},
        {"ds_grid_value_disk_x", {bad, 0.0, 0.0, 1.0, 0.0}, -12345},
        {"ds_grid_shuffle", {bad}, -12345},
        {"ds_grid_write", {bad}, -12345},
        {"ds_grid_read", {bad, "59020000"}, -12345},
        {"ds_grid_sort", {bad, 0.0, 1.0}, -12345},
    };
    for (const Case& c : cases) {
      const dstest::Called r = Call(c.name, c.args);
      EXPECT_TRUE(Reported(r, kMissing)) << c.name << " " << bad;
      EXPECT_EQ(Show(r.result), Show(ScriptValue::FromReal(c.result))) << c.name << " " << bad;
    }
  }
  EXPECT_EQ(Dump(g), std::vector<std::string>(4, "r:0"));
}

TEST_F(DSGrid, CreatingClampsNegativeSizesAndRefusesAbsurdOnes) {
  const int flat = Make(-3, 2);
  EXPECT_EQ(G(flat)->Width(), 0);
  EXPECT_EQ(G(flat)->Height(), 2);
  EXPECT_EQ(Call("ds_grid_get_sum", {double(flat), -9.0, -9.0, 9.0, 9.0}).Real(), 0);
  EXPECT_EQ(Call("ds_grid_get", {double(flat), 0.0, 0.0}).Real(), 0);

  for (double w : {100000.0, 2147483647.0, 1e300}) {
    auto huge = Call("ds_grid_create", {w, w});
    EXPECT_EQ(huge.Real(), -1) << w;
    EXPECT_TRUE(Reported(huge, "Error: Can not create a grid of size")) << huge.error;
  }
  EXPECT_EQ(DS_TableLength(eDS_Grid), 1);
  // The limit itself is allowed where it has no cells.
  const int tall = Make(0, 2147483647);
  EXPECT_EQ(G(tall)->Height(), 2147483647);
  Call("ds_grid_shuffle", {double(tall)});
  Call("ds_grid_sort", {double(tall), 0.0, 1.0});
}

TEST_F(DSGrid, ResizeKeepsTheCellsThatStayAndZeroesTheNewOnes) {
  const int g = FromModel({{Real(1), Real(2), Str("c")}, {Real(4), Str("e"), Real(6)}});
  Call("ds_grid_resize", {double(g), 2.0, 1.0});
  EXPECT_EQ(Dump(g), (std::vector<std::string>{"r:1", "r:4"}));
  Call("ds_grid_resize", {double(g), 2.0, 3.0});
  EXPECT_EQ(Dump(g), (std::vector<std::string>{"r:1", "r:0", "r:0", "r:4", "r:0", "r:0"}));
  Put(g, 1, 2, Str("keep"));
  Call("ds_grid_resize", {double(g), 3.0, 4.0});
  EXPECT_EQ(Dump(g), (std::vector<std::string>{"r:1", "r:0", "r:0", "r:0", "r:4", "r:0", "s:keep", "r:0", "r:0",
                                               "r:0", "r:0", "r:0"}));
  Call("ds_grid_resize", {double(g), 1.0, 1.0});
  EXPECT_EQ(Dump(g), (std::vector<std::string>{"r:1"}));

  // A size of 0 or less is a fatal error and leaves the grid as it was.
  for (auto size : {std::pair{0.0, 2.0}, {2.0, 0.0}, {-1.0, 3.0}, {0.4, 1.0}}) {
    auto r = Call("ds_grid_resize", {double(g), size.first, size.second});
    EXPECT_TRUE(Reported(r, "FATAL ")) << r.error;
    EXPECT_TRUE(Reported(r, "Error: Can not resize a grid with a dimension of 0\n")) << r.error;
    EXPECT_EQ(Dump(g), (std::vector<std::string>{"r:1"}));
  }
  auto huge = Call("ds_grid_resize", {double(g), 100000.0, 100000.0});
  EXPECT_TRUE(Reported(huge, "Error: Can not resize a grid to size [100000,100000]")) << huge.error;
  EXPECT_FALSE(Reported(huge, "FATAL"));
  EXPECT_EQ(Dump(g), (std::vector<std::string>{"r:1"}));
}

TEST_F(DSGrid, CellOperationsOnRealsAndStrings) {
  ScriptValue nullText;
  nullText.kind = kKindString;
  nullText.text = nullptr;
  const std::string longA(1500, 'a'), longB(1200, 'b');
  struct Case {
    Cell cell;
    int op;
    Cell value;
    Cell expect;
  } cases[] = {
      {Real(2), eGridOp_Set, Real(5), Real(5)},
      {Real(2), eGridOp_Set, Str("s"), Str("s")},
      {Str("long text"), eGridOp_Set, Str("x"), Str("x")},
      {Str("x"), eGridOp_Set, Real(1), Real(1)},
      {Real(2), eGridOp_Add, Real(5), Real(7)},
      {Str("a"), eGridOp_Add, Str("b"), Str("ab")},
      {Str(""), eGridOp_Add, Str("b"), Str("b")},
      {Str("a"), eGridOp_Add, Str(""), Str("a")},
      {Str(longA), eGridOp_Add, Str(longB), Str(longA + longB)},  // no 1,024-byte limit
      {Str("a"), eGridOp_Add, Real(3), Real(3)},
      {Real(3), eGridOp_Add, Str("a"), Str("a")},
      {Real(3), eGridOp_Multiply, Real(-2), Real(-6)},
      {Str("a"), eGridOp_Multiply, Real(2), Str("a")},
      {Real(3), eGridOp_Multiply, Str("a"), Real(3)},
      {Real(3), 0, Real(9), Real(3)},
      {Real(3), 4, Real(9), Real(3)},
  };
  for (const Case& c : cases) {
    Value cell = c.cell.str ? Value(c.cell.s.c_str()) : Value(c.cell.r);
    Value value = c.value.str ? Value(c.value.s.c_str()) : Value(c.value.r);
    DS_ApplyOp(c.op, &cell.v, &value.v);
    EXPECT_EQ(Show(cell.v), c.expect.Show()) << c.cell.Show() << " op " << c.op << " " << c.value.Show();
  }

  // A cell joined with itself, and texts that are null.
  Value self("ab");
  DS_ApplyOp(eGridOp_Add, &self.v, &self.v);
  EXPECT_EQ(Show(self.v), "s:abab");
  Value cell("a");
  DS_ApplyOp(eGridOp_Add, &cell.v, &nullText);
  EXPECT_EQ(Show(cell.v), "s:a");
  ScriptValue empty = nullText;
  Value b("b");
  DS_ApplyOp(eGridOp_Add, &empty, &b.v);
  EXPECT_EQ(Show(empty), "s:b");
  ScriptValue_Free(&empty);
  DS_ApplyOp(eGridOp_Set, &cell.v, &nullText);
  EXPECT_TRUE(cell.v.IsString());
  EXPECT_EQ(cell.v.text, nullptr);

  // Arrays are set but never operands.
  ScriptValue array;
  array.kind = kKindArray;
  array.array = ScriptArray_Create(&array);
  Value target(2.0);
  DS_ApplyOp(eGridOp_Add, &target.v, &array);
  DS_ApplyOp(eGridOp_Multiply, &target.v, &array);
  EXPECT_EQ(Show(target.v), "r:2");
  DS_ApplyOp(eGridOp_Set, &target.v, &array);
  EXPECT_EQ(target.v.array, array.array);
  Value real(1.0), text("t");
  DS_ApplyOp(eGridOp_Add, &target.v, &real.v);
  DS_ApplyOp(eGridOp_Add, &target.v, &text.v);
  EXPECT_TRUE(target.v.IsArray());
  ScriptValue_Free(&array);
}

TEST_F(DSGrid, RegionsAndDisksClipToTheGrid) {
  const int g = Make(3, 2);
  Call("ds_grid_set_region", {double(g), 5.0, 5.0, -3.0, -3.0, 1.0});
  EXPECT_EQ(Dump(g), std::vector<std::string>(6, "r:1"));
  Call("ds_grid_add_region", {double(g), 1.0, 0.0, 9.0, 0.0, 2.0});
  Call("ds_grid_multiply_region", {double(g), 2.0, 1.0, 2.0, -1.0, 10.0});
  EXPECT_EQ(Dump(g), (std::vector<std::string>{"r:1", "r:1", "r:3", "r:1", "r:30", "r:10"}));

  const int d = Make(3, 3);
  Call("ds_grid_set_disk", {double(d), 1.0, 1.0, 1.0, 1.0});
  EXPECT_EQ(Dump(d), (std::vector<std::string>{"r:0", "r:1", "r:0", "r:1", "r:1", "r:1", "r:0", "r:1", "r:0"}));
  Call("ds_grid_add_disk", {double(d), 1.0, 1.0, 1.0, "s"});
  Call("ds_grid_multiply_disk", {double(d), 0.0, 0.0, 0.5, 7.0});
  EXPECT_EQ(Dump(d), (std::vector<std::string>{"r:0", "s:s", "r:0", "s:s", "s:s", "s:s", "r:0", "s:s", "r:0"}));
}

TEST_F(DSGrid, StatisticsFollowTheFirstCellsKind) {
  const int g = FromModel({{Real(1), Real(5), Real(3)}, {Str("b"), Real(9), Str("\xc3\xa9")}});
  const double id = g;
  auto column = [&](const char* name, double x1, double y1, double x2, double y2) {
    return Show(Call(name, {id, x1, y1, x2, y2}).result);
  };
  EXPECT_EQ(column("ds_grid_get_max", 0, 0, 0, 2), "r:5");
  EXPECT_EQ(column("ds_grid_get_min", 0, 0, 0, 2), "r:1");
  // The first cell is a string: only strings count, bytes unsigned.
  EXPECT_EQ(column("ds_grid_get_max", 1, 0, 1, 2), "s:\xc3\xa9");
  EXPECT_EQ(column("ds_grid_get_min", 1, 0, 1, 2), "s:b");
  // Real 1 comes first in scan order, so the strings are skipped.
  EXPECT_EQ(column("ds_grid_get_max", 0, 0, 1, 2), "r:9");
  EXPECT_EQ(column("ds_grid_get_sum", 0, 0, 1, 2), "r:18");
  EXPECT_EQ(column("ds_grid_get_mean", 0, 0, 1, 2), "r:4.5");
  EXPECT_EQ(column("ds_grid_get_mean", 1, 0, 1, 1), "r:9");
  EXPECT_EQ(column("ds_grid_get_mean", 1, 0, 1, 0), "r:0");
  // An area wholly outside the grid.
  for (const char* name : {"ds_grid_get_sum", "ds_grid_get_mean", "ds_grid_get_max", "ds_grid_get_min",
                           "ds_grid_value_exists", "ds_grid_value_x", "ds_grid_value_y"}) {
    auto r = Call(name, {id, 5.0, 5.0, 7.0, 7.0, 1.0});
    EXPECT_EQ(Show(r.result), "r:0") << name;
  }
  EXPECT_EQ(Show(Call("ds_grid_get_disk_max", {id, -9.0, -9.0, 1.0}).result), "r:0");
  EXPECT_EQ(Show(Call("ds_grid_get_disk_max", {id, 1.0, 1.0, 0.0}).result), "r:9");

  // Mean of 2 and 4 beside a string.
  const int m = FromModel({{Real(2), Str("x"), Real(4)}});
  EXPECT_EQ(Call("ds_grid_get_mean", {double(m), 0.0, 0.0, 0.0, 2.0}).Real(), 3);
  // Searches compare within the precision; the first match in scan order wins.
  const int s = FromModel({{Real(0), Str("k")}, {Real(1.00000001), Real(1)}});
  EXPECT_EQ(Call("ds_grid_value_x", {double(s), 0.0, 0.0, 1.0, 1.0, 1.0}).Real(), 1);
  EXPECT_EQ(Call("ds_grid_value_y", {double(s), 0.0, 0.0, 1.0, 1.0, 1.0}).Real(), 0);
  EXPECT_EQ(Call("ds_grid_value_y", {double(s), 0.0, 0.0, 1.0, 1.0, "k"}).Real(), 1);
  EXPECT_EQ(Call("ds_grid_value_exists", {double(s), 0.0, 0.0, 1.0, 1.0, "K"}).Real(), 0);
}

// The engine's areas against a brute-force walk over every cell of random
// grids, with regions and disks partly outside, corners in any order and
// fractional coordinates.
Cell RandomCell(std::mt19937& rng) {
  static const double reals[] = {-2, 0, 1, 1.5, 3, 7};
  static const char* texts[] = {"", "a", "b", "ab", "ba"};
  if (rng() % 10 < 3) return Str(texts[rng() % 5]);
  return Real(reals[rng() % 6]);
}

Model RandomModel(std::mt19937& rng, int w, int h) {
  Model m(static_cast<size_t>(w), std::vector<Cell>(static_cast<size_t>(h)));
  for (auto& column : m)
    for (Cell& c : column) c = RandomCell(rng);
  return m;
}

struct Area {
  bool disk;
  double a[4];  // x1, y1, x2, y2 or xm, ym, r
  bool Holds(int x, int y) const {
    if (!disk) {
      const double x1 = std::nearbyint(a[0]), y1 = std::nearbyint(a[1]), x2 = std::nearbyint(a[2]),
                   y2 = std::nearbyint(a[3]);
      return x >= std::min(x1, x2) && x <= std::max(x1, x2) && y >= std::min(y1, y2) && y <= std::max(y1, y2);
    }
    const double xm = a[0], ym = a[1], r = a[2];
    if (x < std::floor(xm - r) || x > std::ceil(xm + r) || y < std::floor(ym - r) || y > std::ceil(ym + r))
      return false;
    return r * r >= (x - xm) * (x - xm) + (y - ym) * (y - ym);
  }
};

Area RandomArea(std::mt19937& rng, int w, int h, bool disk) {
  auto between = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
  auto coordinate = [&](double lo, double hi) {
    const double v = std::round(between(lo, hi) * 2) / 2;  // halves test the rounding
    return v;
  };
  Area a{disk, {}};
  if (!disk) {
    a.a[0] = coordinate(-3, w + 2);
    a.a[1] = coordinate(-3, h + 2);
    a.a[2] = coordinate(-3, w + 2);
    a.a[3] = coordinate(-3, h + 2);
  } else {
    const int shape = int(rng() % 4);
    a.a[0] = shape == 0 ? std::floor(between(-2, w + 1)) : between(-2, w + 1);
    a.a[1] = shape == 0 ? std::floor(between(-2, h + 1)) : between(-2, h + 1);
    a.a[2] = shape == 0 ? double(rng() % 4) : (shape == 3 ? -between(0, 1) : between(0, 4));
  }
  return a;
}

// The statistics of the model over an area, in the scan order.
struct Expected {
  double sum = 0, mean = 0;
  Cell max = Real(0), min = Real(0);
  bool exists = false;
  int fx = 0, fy = 0;
};

Expected Oracle(const Model& m, const Area& area, const Cell& wanted) {
  Expected e;
  int count = 0;
  bool first = true;
  for (int x = 0; x < int(m.size()); ++x)
    for (int y = 0; y < int(m[x].size()); ++y) {
      if (!area.Holds(x, y)) continue;
      const Cell& c = m[x][y];
      if (!c.str) e.sum += c.r, ++count;
      if (first) {
        e.max = e.min = c;
        first = false;
      } else if (c.str == e.max.str) {
        if (c.str ? (std::string(c.s) > e.max.s) : c.r > e.max.r) e.max = c;
        if (c.str ? (std::string(c.s) < e.min.s) : c.r < e.min.r) e.min = c;
      }
      if (!e.exists && c == wanted) e.exists = true, e.fx = x, e.fy = y;
    }
  e.mean = count ? e.sum / count : 0;
  return e;
}

TEST_F(DSGrid, AreaStatisticsAndSearchesAgreeWithBruteForce) {
  std::mt19937 rng(1234);
  int areas = 0, nonEmpty = 0;
  for (int trial = 0; trial < 200; ++trial) {
    const int w = 1 + int(rng() % 7), h = 1 + int(rng() % 7);
    const Model m = RandomModel(rng, w, h);
    const int g = FromModel(m);
    for (int q = 0; q < 8; ++q) {
      const bool disk = q % 2 == 1;
      const Area area = RandomArea(rng, w, h, disk);
      const Cell wanted = RandomCell(rng);
      const Expected e = Oracle(m, area, wanted);
      ++areas;
      if (e.max.str || e.sum != 0) ++nonEmpty;
      const Value id{double(g)}, a0{area.a[0]}, a1{area.a[1]}, a2{area.a[2]}, a3{area.a[3]};
      const Value want = wanted.str ? Value(wanted.s.c_str()) : Value(wanted.r);
      auto call = [&](const char* regionName, const char* diskName) {
        return disk ? Call(diskName, {id, a0, a1, a2, want}) : Call(regionName, {id, a0, a1, a2, a3, want});
      };
      const std::string where = std::string(disk ? "disk " : "region ") + std::to_string(area.a[0]) + "," +
                                std::to_string(area.a[1]) + "," + std::to_string(area.a[2]) + "," +
                                std::to_string(area.a[3]) + " on " + std::to_string(w) + "x" + std::to_string(h);
      EXPECT_EQ(call("ds_grid_get_sum", "ds_grid_get_disk_sum").Real(), e.sum) << where;
      EXPECT_EQ(call("ds_grid_get_mean", "ds_grid_get_disk_mean").Real(), e.mean) << where;
      EXPECT_EQ(Show(call("ds_grid_get_max", "ds_grid_get_disk_max").result), e.max.Show()) << where;
      EXPECT_EQ(Show(call("ds_grid_get_min", "ds_grid_get_disk_min").result), e.min.Show()) << where;
      EXPECT_EQ(call("ds_grid_value_exists", "ds_grid_value_disk_exists").Real(), e.exists ? 1 : 0) << where;
      EXPECT_EQ(call("ds_grid_value_x", "ds_grid_value_disk_x").Real(), e.fx) << where;
      EXPECT_EQ(call("ds_grid_value_y", "ds_grid_value_disk_y").Real(), e.fy) << where;
    }
    Call("ds_grid_destroy", {double(g)});
  }
  EXPECT_GT(nonEmpty, areas / 2);  // the random areas mostly hit cells
}

Cell ModelOp(int op, const Cell& cell, const Cell& value) {
  if (op == eGridOp_Set) return value;
  if (op == eGridOp_Add) {
    if (!cell.str && !value.str) return Real(cell.r + value.r);
    if (cell.str && value.str) return Str(cell.s + value.s);
    return value;
  }
  if (!cell.str && !value.str) return Real(cell.r * value.r);
  return cell;
}

TEST_F(DSGrid, AreaOperationsAgreeWithBruteForce) {
  std::mt19937 rng(99);
  const char* regionNames[] = {nullptr, "ds_grid_set_region", "ds_grid_add_region", "ds_grid_multiply_region"};
  const char* diskNames[] = {nullptr, "ds_grid_set_disk", "ds_grid_add_disk", "ds_grid_multiply_disk"};
  for (int trial = 0; trial < 300; ++trial) {
    const int w = 1 + int(rng() % 6), h = 1 + int(rng() % 6);
    Model m = RandomModel(rng, w, h);
    const int g = FromModel(m);
    const bool disk = trial % 2 == 1;
    const int op = 1 + int(rng() % 3);
    const Area area = RandomArea(rng, w, h, disk);
    const Cell value = RandomCell(rng);
    const Value want = value.str ? Value(value.s.c_str()) : Value(value.r);
    if (disk)
      Call(diskNames[op], {double(g), area.a[0], area.a[1], area.a[2], want});
    else
      Call(regionNames[op], {double(g), area.a[0], area.a[1], area.a[2], area.a[3], want});
    for (int x = 0; x < w; ++x)
      for (int y = 0; y < h; ++y)
        if (area.Holds(x, y)) m[size_t(x)][size_t(y)] = ModelOp(op, m[size_t(x)][size_t(y)], value);
    EXPECT_EQ(Dump(g), Dump(m)) << "trial " << trial;
    Call("ds_grid_destroy", {double(g)});
  }
}

// Grid-region operations against copying through a temporary: the source
// region (clipped to the source) lands with its clipped corner at (xpos,
// ypos); cells landing outside the destination are dropped.
void RegionOpOracle(Model* destination, const Model& source, const double* r, int xpos, int ypos, int op) {
  const int sw = int(source.size()), sh = int(source[0].size());
  const int xa = std::max(int(std::min(r[0], r[2])), 0), xb = std::min(int(std::max(r[0], r[2])), sw - 1);
  const int ya = std::max(int(std::min(r[1], r[3])), 0), yb = std::min(int(std::max(r[1], r[3])), sh - 1);
  const Model temporary = source;
  for (int x = xa; x <= xb; ++x)
    for (int y = ya; y <= yb; ++y) {
      const int tx = x - xa + xpos, ty = y - ya + ypos;
      if (tx < 0 || ty < 0 || tx >= int(destination->size()) || ty >= int((*destination)[0].size())) continue;
      Cell& target = (*destination)[size_t(tx)][size_t(ty)];
      target = ModelOp(op, target, temporary[size_t(x)][size_t(y)]);
    }
}

Model Numbered(int w, int h, bool strings) {
  Model m(static_cast<size_t>(w), std::vector<Cell>(static_cast<size_t>(h)));
  for (int x = 0; x < w; ++x)
    for (int y = 0; y < h; ++y)
      m[size_t(x)][size_t(y)] = strings ? Str(std::string(1, char('a' + x)) + char('0' + y)) : Real(10 * x + y + 1);
  return m;
}

TEST_F(DSGrid, GridRegionOnTheSameGridReadsEverySourceCellFirst) {
  // The documented row: 1, 2, 3 copied one to the right gives 1, 1, 2.
  const int row = FromModel({{Real(1)}, {Real(2)}, {Real(3)}});
  Call("ds_grid_set_grid_region", {double(row), double(row), 0.0, 0.0, 1.0, 0.0, 1.0, 0.0});
  EXPECT_EQ(Dump(row), (std::vector<std::string>{"r:1", "r:1", "r:2"}));
  // xpos -1 skips the source's first column.
  const int skip = FromModel({{Real(1)}, {Real(2)}, {Real(3)}});
  const int into = Make(3, 1);
  Call("ds_grid_set_grid_region", {double(into), double(skip), 0.0, 0.0, 2.0, 0.0, -1.0, 0.0});
  EXPECT_EQ(Dump(into), (std::vector<std::string>{"r:2", "r:3", "r:0"}));

  // Every direction of overlap, straight and diagonal, with each operation.
  const int dirs[][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {-1, -1}, {1, -1}, {-1, 1}, {2, 0}, {0, 0}};
  for (const auto& d : dirs)
    for (int op = 1; op <= 3; ++op)
      for (bool strings : {false, true}) {
        Model m = Numbered(5, 4, strings);
        const int g = FromModel(m);
        const double region[] = {1, 1, 3, 2};
        Call(op == 1 ? "ds_grid_set_grid_region" : op == 2 ? "ds_grid_add_grid_region" : "ds_grid_multiply_grid_region",
             {double(g), double(g), region[0], region[1], region[2], region[3], 1.0 + d[0], 1.0 + d[1]});
        RegionOpOracle(&m, Model(m), region, 1 + d[0], 1 + d[1], op);
        EXPECT_EQ(Dump(g), Dump(m)) << d[0] << "," << d[1] << " op " << op << (strings ? " strings" : "");
        Call("ds_grid_destroy", {double(g)});
      }

  // Random sources, destinations and placements, partly outside both.
  std::mt19937 rng(7);
  for (int trial = 0; trial < 400; ++trial) {
    const int sw = 1 + int(rng() % 6), sh = 1 + int(rng() % 6);
    const bool same = trial % 2 == 0;
    const int dw = same ? sw : 1 + int(rng() % 6), dh = same ? sh : 1 + int(rng() % 6);
    Model source = RandomModel(rng, sw, sh);
    Model destination = same ? source : RandomModel(rng, dw, dh);
    const int s = FromModel(source);
    const int d = same ? s : FromModel(destination);
    const double r[] = {double(int(rng() % (sw + 4)) - 2), double(int(rng() % (sh + 4)) - 2),
                        double(int(rng() % (sw + 4)) - 2), double(int(rng() % (sh + 4)) - 2)};
    const int xpos = int(rng() % (dw + 4)) - 3, ypos = int(rng() % (dh + 4)) - 3;
    const int op = 1 + int(rng() % 3);
    Call(op == 1 ? "ds_grid_set_grid_region" : op == 2 ? "ds_grid_add_grid_region" : "ds_grid_multiply_grid_region",
         {double(d), double(s), r[0], r[1], r[2], r[3], double(xpos), double(ypos)});
    RegionOpOracle(&destination, source, r, xpos, ypos, op);
    EXPECT_EQ(Dump(d), Dump(destination)) << "trial " << trial;
    if (!same) {
      EXPECT_EQ(Dump(s), Dump(source)) << "trial " << trial;
    }
    Call("ds_grid_destroy", {double(s)});
    if (!same) Call("ds_grid_destroy", {double(d)});
  }
}

TEST_F(DSGrid, CopyAndClearOwnTheirValues) {
  const int a = FromModel({{Real(1), Str("x")}, {Str("y"), Real(4)}, {Real(5), Real(6)}});
  const int b = Make(1, 1);
  Call("ds_grid_copy", {double(b), double(a)});
  EXPECT_EQ(Dump(b), Dump(a));
  Call("ds_grid_set", {double(a), 0.0, 1.0, "changed"});
  EXPECT_EQ(Show(*G(b)->Cell(0, 1)), "s:x");
  Call("ds_grid_copy", {double(a), double(a)});
  EXPECT_EQ(Show(*G(a)->Cell(0, 1)), "s:changed");
  Call("ds_grid_clear", {double(b), "z"});
  EXPECT_EQ(Dump(b), std::vector<std::string>(6, "s:z"));
  Call("ds_grid_clear", {double(b), 2.0});
  EXPECT_EQ(Dump(b), std::vector<std::string>(6, "r:2"));
}

TEST_F(DSGrid, SortPutsStringsFirstAndComparesRealsExactly) {
  struct Case {
    std::vector<Cell> keys;
    double ascending;
    std::vector<Cell> expect;
  } cases[] = {
      {{Real(2), Str("a"), Real(1)}, 1, {Str("a"), Real(1), Real(2)}},
      {{Real(2), Str("a"), Real(1)}, 0, {Real(2), Real(1), Str("a")}},
      {{Real(2), Str("a"), Real(1)}, 0.5, {Real(2), Real(1), Str("a")}},  // ascending needs more than 0.5
      {{Real(2), Str("a"), Real(1)}, 0.6, {Str("a"), Real(1), Real(2)}},
      // Exact: values the precision would call equal still sort apart.
      {{Real(1.00000001), Real(1), Real(0.99999999)}, 1, {Real(0.99999999), Real(1), Real(1.00000001)}},
      {{Str("b"), Str("\xc3\xa9"), Str("B"), Str(""), Str("ab")},
       1,
       {Str(""), Str("B"), Str("ab"), Str("b"), Str("\xc3\xa9")}},
      {{Real(-1), Real(-5), Str("z"), Real(10)}, -1, {Real(10), Real(-1), Real(-5), Str("z")}},
  };
  for (const Case& c : cases) {
    // Column 1 carries the keys; column 0 and 2 tag the rows.
    Model m(3);
    for (size_t y = 0; y < c.keys.size(); ++y) {
      m[0].push_back(Real(double(y)));
      m[1].push_back(c.keys[y]);
      m[2].push_back(Str("row" + std::to_string(y)));
    }
    const int g = FromModel(m);
    auto r = Call("ds_grid_sort", {double(g), 1.0, c.ascending});
    EXPECT_EQ(r.error, "");
    for (size_t y = 0; y < c.expect.size(); ++y) {
      EXPECT_EQ(Show(*G(g)->Cell(1, int(y))), c.expect[y].Show()) << "row " << y;
      // Rows stay whole.
      const size_t from = size_t(G(g)->Cell(0, int(y))->real);
      EXPECT_EQ(Show(*G(g)->Cell(1, int(y))), c.keys[from].Show());
      EXPECT_EQ(Show(*G(g)->Cell(2, int(y))), "s:row" + std::to_string(from));
    }
    Call("ds_grid_destroy", {double(g)});
  }
}

TEST_F(DSGrid, SortDoesNothingUnlessGivenThreeRealsForAColumnInside) {
  const Model m = {{Real(3), Real(1), Real(2)}, {Str("c"), Str("a"), Str("b")}};
  const int g = FromModel(m);
  const std::vector<std::string> before = Dump(g);
  EXPECT_EQ(Call("ds_grid_sort", {double(g), 0.0}).error, "");
  EXPECT_EQ(Call("ds_grid_sort", {double(g), 0.0, 1.0, 1.0}).error, "");
  EXPECT_EQ(Call("ds_grid_sort", {double(g), "0", 1.0}).error, "");
  EXPECT_EQ(Call("ds_grid_sort", {double(g), 0.0, "1"}).error, "");
  EXPECT_EQ(Call("ds_grid_sort", {double(g), 2.0, 1.0}).error, "");
  EXPECT_EQ(Call("ds_grid_sort", {double(g), -1.0, 1.0}).error, "");
  EXPECT_EQ(Dump(g), before);
  EXPECT_EQ(TakeConsole(), "");
  // The id and the column truncate: 0.9 is column 0 of grid g.
  Call("ds_grid_sort", {double(g) + 0.9, 0.9, 1.0});
  EXPECT_EQ(Dump(g), (std::vector<std::string>{"r:1", "r:2", "r:3", "s:a", "s:b", "s:c"}));
  Call("ds_grid_sort", {double(g), 1.7, 0.0});
  EXPECT_EQ(Dump(g), (std::vector<std::string>{"r:3", "r:2", "r:1", "s:c", "s:b", "s:a"}));
}

TEST_F(DSGrid, SortStaysInsideItsRowsWhateverTheKeys) {
  // Keys a careless comparison orders inconsistently: NaN, null texts, arrays
  // and many equal keys, on a column long enough for a quicksort to partition.
  std::mt19937 rng(5);
  const int h = 2000;
  const int g = Make(2, h);
  ScriptValue array;
  array.kind = kKindArray;
  array.array = ScriptArray_Create(nullptr);
  for (int y = 0; y < h; ++y) {
    ScriptValue* key = G(g)->Cell(0, y);
    switch (rng() % 6) {
      case 0: key->real = std::nan(""); break;
      case 1: key->kind = kKindString, key->text = nullptr; break;
      case 2: ScriptValue_Copy(key, &array); break;
      case 3: { Value t(rng() % 2 ? "" : "q"); ScriptValue_Copy(key, &t.v); break; }
      default: key->real = double(rng() % 4); break;
    }
    G(g)->Cell(1, y)->real = y;
  }
  ScriptValue_Free(&array);
  for (double ascending : {1.0, 0.0}) {
    Call("ds_grid_sort", {double(g), 0.0, ascending});
    std::vector<bool> seen(size_t(h), false);
    auto rank = [](const ScriptValue& v) {
      if (v.IsString()) return std::string("0") + v.Text();
      if (v.IsArray()) return std::string("1");
      if (std::isnan(v.real)) return std::string("3");
      return "2" + std::to_string(v.real);
    };
    for (int y = 0; y < h; ++y) {
      const int from = int(G(g)->Cell(1, y)->real);
      ASSERT_TRUE(from >= 0 && from < h && !seen[size_t(from)]);
      seen[size_t(from)] = true;
      if (y > 0) {
        const std::string a = rank(*G(g)->Cell(0, y - 1)), b = rank(*G(g)->Cell(0, y));
        EXPECT_TRUE(ascending > 0.5 ? a <= b : a >= b) << y << ": " << a << " then " << b;
        // Equal keys keep their earlier order.
        if (a == b && ascending > 0.5) {
          EXPECT_LT(G(g)->Cell(1, y - 1)->real, G(g)->Cell(1, y)->real);
        }
      }
    }
  }
}

TEST_F(DSGrid, ShuffleSwapsWithFourDrawsARound) {
  const int w = 4, h = 3;
  const int g = FromModel(Numbered(w, h, false));
  Random_SetSeed(77);
  Call("ds_grid_shuffle", {double(g)});
  // The same draws on a plain table.
  Random_SetSeed(77);
  std::vector<double> cells;
  for (int x = 0; x < w; ++x)
    for (int y = 0; y < h; ++y) cells.push_back(10 * x + y + 1);
  for (int i = 0; i < w * h * 8; ++i) {
    const int xa = Random_Int(w), xb = Random_Int(w), ya = Random_Int(h), yb = Random_Int(h);
    std::swap(cells[size_t(xa * h + ya)], cells[size_t(xb * h + yb)]);
  }
  std::vector<std::string> expect;
  for (double c : cells) expect.push_back(Show(ScriptValue::FromReal(c)));
  EXPECT_EQ(Dump(g), expect);
  EXPECT_NE(Dump(g), Dump(Numbered(w, h, false)));
  // A grid without cells draws nothing.
  const int empty = Make(0, 5);
  Random_SetSeed(3);
  const uint32_t next = Random_Next32();
  Random_SetSeed(3);
  Call("ds_grid_shuffle", {double(empty)});
  EXPECT_EQ(Random_Next32(), next);
}

// The text form, built here byte by byte.
struct Hex {
  std::string text;
  void Int(int32_t v) {
    for (int i = 0; i < 4; ++i) Byte(uint8_t(uint32_t(v) >> (8 * i)));
  }
  void Byte(uint8_t b) {
    char two[3];
    std::snprintf(two, sizeof two, "%02X", b);
    text += two;
  }
  void RealValue(double r) {
    Int(0);
    uint64_t bits;
    std::memcpy(&bits, &r, 8);
    for (int i = 0; i < 8; ++i) Byte(uint8_t(bits >> (8 * i)));
  }
  void StringValue(const std::string& s) {
    Int(1);
    Int(int32_t(s.size()));
    for (char c : s) Byte(uint8_t(c));
  }
};

TEST_F(DSGrid, TheTextFormReadsBackAndReadsAnIndependentWriter) {
  const int one = Make(1, 1);
  Call("ds_grid_set", {double(one), 0.0, 0.0, 1.0});
  EXPECT_EQ(Call("ds_grid_write", {double(one)}).Text(), "59020000" "01000000" "01000000" "00000000" "000000000000F03F");

  const int g = FromModel({{Real(1.5), Str("")}, {Str("h\xc3\xa9llo"), Real(-0.0)}, {Real(1e300), Str("z")}});
  ScriptValue array;
  array.kind = kKindArray;
  array.array = ScriptArray_Create(&array);
  Value element(4.0), text("in");
  ScriptValue_SetElement(&array, &element.v, 0);
  ScriptValue_SetElement(&array, &text.v, kArrayRowStride + 1);
  ScriptValue_Copy(G(g)->Cell(2, 1), &array);
  ScriptValue_Free(&array);
  const std::string written = Call("ds_grid_write", {double(g)}).Text();
  const int back = Make(7, 7);
  Call("ds_grid_read", {double(back), written.c_str()});
  EXPECT_EQ(Dump(back), Dump(g));
  EXPECT_EQ(Call("ds_grid_write", {double(back)}).Text(), written);
  ScriptValue* readArray = G(back)->Cell(2, 1);
  ASSERT_TRUE(readArray->IsArray());
  EXPECT_NE(readArray->array, G(g)->Cell(2, 1)->array);
  ScriptValue got;
  ScriptValue_GetElement(&got, readArray, kArrayRowStride + 1);
  EXPECT_EQ(Show(got), "s:in");
  ScriptValue_Free(&got);

  Hex hex;
  hex.Int(601);
  hex.Int(2);
  hex.Int(1);
  hex.RealValue(-2.25);
  hex.StringValue("ab");
  const int independent = Make(1, 1);
  Call("ds_grid_read", {double(independent), hex.text.c_str()});
  EXPECT_EQ(Dump(independent), (std::vector<std::string>{"r:-2.25", "s:ab"}));
  EXPECT_EQ(G(independent)->Width(), 2);
  // Lower case reads as well.
  std::string lower = hex.text;
  for (char& c : lower) c = char(std::tolower(c));
  const int fromLower = Make(1, 1);
  Call("ds_grid_read", {double(fromLower), lower.c_str()});
  EXPECT_EQ(Dump(fromLower), Dump(independent));
}

TEST_F(DSGrid, DamagedTextIsRefusedAndChangesNothing) {
  auto header = [](int32_t kind, int32_t w, int32_t h) {
    Hex x;
    x.Int(kind);
    x.Int(w);
    x.Int(h);
    return x;
  };
  Hex whole = header(601, 2, 1);
  whole.RealValue(3);
  whole.StringValue("abc");
  Hex list = header(301, 2, 1);
  list.RealValue(3);
  list.RealValue(4);
  Hex huge = header(601, 0x7FFFFFFF, 0x7FFFFFFF);
  huge.RealValue(1);
  Hex wide = header(601, 65536, 65536);
  wide.RealValue(1);
  Hex negative = header(601, -2, -1);
  Hex negativeOne = header(601, -1, 3);
  Hex badKind = header(601, 1, 1);
  badKind.Int(2);  // an array that claims more rows than there are bytes
  badKind.Int(1000);
  struct Case {
    const char* what;
    std::string text;
  } cases[] = {
      {"empty", ""},
      {"not hex", "hello"},
      {"header only", "59020000"},
      {"cut size", "5902000002000000"},
      {"wrong kind", list.text},
      {"cut in a length", whole.text.substr(0, whole.text.size() - 12)},
      {"truncated real", whole.text.substr(0, 24 + 16)},
      {"huge counts", huge.text},
      {"counts beyond the bytes", wide.text},
      {"negative", negative.text},
      {"negative width", negativeOne.text},
      {"array beyond the bytes", badKind.text},
  };
  for (const Case& c : cases) {
    const int g = FromModel({{Real(8), Str("keep")}});
    auto r = Call("ds_grid_read", {double(g), c.text.c_str()});
    EXPECT_EQ(r.error, "") << c.what;
    EXPECT_EQ(r.Real(), -12345) << c.what;
    EXPECT_EQ(Dump(g), (std::vector<std::string>{"r:8", "s:keep"})) << c.what;
    EXPECT_EQ(G(g)->Width(), 1) << c.what;
    Call("ds_grid_destroy", {double(g)});
  }
  // The whole text, and the same with a stray digit after it, read.
  for (const std::string& text : {whole.text, whole.text + "7"}) {
    const int g = Make(1, 1);
    Call("ds_grid_read", {double(g), text.c_str()});
    EXPECT_EQ(Dump(g), (std::vector<std::string>{"r:3", "s:abc"}));
  }
}

TEST_F(DSGrid, FastAccessSkipsTheChecksButNeverLeavesTheGrid) {
  const int g = Make(2, 2);
  const int gone = Make(1, 1);
  Call("ds_grid_destroy", {double(gone)});
  DS_SetGridAccessChecked(false);
  Call("ds_grid_set", {double(g), 1.0, 1.0, "in"});
  EXPECT_EQ(Call("ds_grid_get", {double(g), 1.0, 1.0}).Text(), "in");
  struct Case {
    double id, x, y;
  } outside[] = {{double(g), 2, 0}, {double(g), -1, 1}, {double(g), 0, 1e12}, {double(gone), 0, 0}, {-1, 0, 0},
                 {500, 0, 0}};
  for (const Case& c : outside) {
    auto set = Call("ds_grid_set", {c.id, c.x, c.y, 9.0});
    EXPECT_EQ(set.error, "");
    auto get = Call("ds_grid_get", {c.id, c.x, c.y});
    EXPECT_EQ(get.error, "");
    EXPECT_EQ(Show(get.result), "r:0");
  }
  EXPECT_EQ(TakeConsole(), "");
  EXPECT_EQ(Dump(g), (std::vector<std::string>{"r:0", "r:0", "r:0", "s:in"}));
  // Back to the checking handlers.
  DS_SetGridAccessChecked(true);
  EXPECT_TRUE(Reported(Call("ds_grid_get", {double(gone), 0.0, 0.0}), kMissing));
  TakeConsole();
  Call("ds_grid_set", {double(g), 2.0, 0.0, 1.0});
  EXPECT_EQ(TakeConsole(), "Grid " + std::to_string(g) + ", index out of bounds writing [2,0] - size is [2,2]\n");
}

TEST_F(DSGrid, ArraysFollowTheirCellsWhenCellsMove) {
  // An array read from text belongs to its cell; sorting, shuffling and
  // resizing move it, and destroying the grid releases it once.
  const int source = Make(1, 3);
  ScriptValue array;
  array.kind = kKindArray;
  array.array = ScriptArray_Create(&array);
  Value e(1.0);
  ScriptValue_SetElement(&array, &e.v, 2);
  ScriptValue_Copy(G(source)->Cell(0, 2), &array);
  ScriptValue_Free(&array);
  const std::string text = Call("ds_grid_write", {double(source)}).Text();
  const int g = Make(1, 1);
  Call("ds_grid_read", {double(g), text.c_str()});
  ScriptValue* cell = G(g)->Cell(0, 2);
  ASSERT_TRUE(cell->IsArray());
  EXPECT_EQ(cell->array->owner, cell);
  Call("ds_grid_sort", {double(g), 0.0, 1.0});  // the array moves ahead of the reals
  EXPECT_TRUE(G(g)->Cell(0, 0)->IsArray());
  EXPECT_EQ(G(g)->Cell(0, 0)->array->owner, G(g)->Cell(0, 0));
  Call("ds_grid_resize", {double(g), 3.0, 3.0});
  EXPECT_EQ(G(g)->Cell(0, 0)->array->owner, G(g)->Cell(0, 0));
  for (int seed = 1; seed <= 10; ++seed) {
    Random_SetSeed(seed);
    Call("ds_grid_shuffle", {double(g)});
    int arrays = 0;
    for (int x = 0; x < 3; ++x)
      for (int y = 0; y < 3; ++y)
        if (G(g)->Cell(x, y)->IsArray()) {
          ++arrays;
          EXPECT_EQ(G(g)->Cell(x, y)->array->owner, G(g)->Cell(x, y)) << seed;
        }
    EXPECT_EQ(arrays, 1);
  }
  Call("ds_grid_destroy", {double(g)});
}

}  // namespace
