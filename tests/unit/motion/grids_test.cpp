// Motion-planning grids through their built-ins: the grid table, blocking and
// freeing cells, blocking under instances, and shortest ways checked against
// a breadth-first search of the test's own.
#include "motion/grids.h"

#include <gtest/gtest.h>

#include <queue>
#include <random>
#include <string>
#include <vector>

#include "core/instances.h"
#include "core/objects.h"
#include "core/paths.h"
#include "core/precise.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "motion/game_builtins.h"
#include "motion/motion.h"
#include "unit/script/builtin_group_check.h"
#include "unit/motion/motion_world.h"
#include "unit/script/builtins_call.h"

namespace {

using motion_world::Points;
using motion_world::Pt;

class Grids : public motion_world::GameGroupTest {
 protected:
  void SetUp() override {
    GameGroupTest::SetUp();
    MotionGrid_FreeAll();
  }
  void TearDown() override {
    MotionGrid_FreeAll();
    GameGroupTest::TearDown();
  }

  static int Create(double left, double top, double columns, double rows, double w, double h) {
    return int(Real("mp_grid_create", {left, top, columns, rows, w, h}));
  }

  // The grid's cells as rows of '#' (blocked) and '.' (free).
  static std::vector<std::string> Map(int id) {
    const CGrid* g = MotionGrid_Get(id);
    std::vector<std::string> rows(size_t(g->Rows()), std::string(size_t(g->Columns()), '.'));
    for (int v = 0; v < g->Rows(); ++v)
      for (int h = 0; h < g->Columns(); ++h)
        if (g->Cell(h, v) == CGrid::kBlocked) rows[size_t(v)][size_t(h)] = '#';
    return rows;
  }
};

TEST_F(Grids, TheGameGroupHoldsEveryNameInOrderAndItsFamiliesAreSound) {
  const std::span<const BuiltinGroupName> order = Motion_GameGroup().order;
  ASSERT_EQ(order.size(), 83u);
  EXPECT_STREQ(order.front().name, "move_random");
  EXPECT_STREQ(order[31].name, "mp_grid_create");
  EXPECT_STREQ(order[40].name, "mp_grid_draw");
  EXPECT_STREQ(order.back().name, "sleep");
  ExpectGroupRegistered(Motion_GameGroup());
  EXPECT_EQ(FunctionRegistry_GetArgCount(FunctionRegistry_Find("mp_grid_path")), 7);
}

TEST_F(Grids, IdsTakeTheFirstEmptySlot) {
  EXPECT_EQ(Create(0, 0, 2, 2, 8, 8), 0);
  EXPECT_EQ(Create(0, 0, 2, 2, 8, 8), 1);
  EXPECT_EQ(Create(0, 0, 2, 2, 8, 8), 2);
  Call("mp_grid_destroy", {1});
  EXPECT_EQ(MotionGrid_Get(1), nullptr);
  EXPECT_EQ(Create(0, 0, 2, 2, 8, 8), 1);
  EXPECT_EQ(Create(0, 0, 2, 2, 8, 8), 3);
  // Ids naming no grid do nothing.
  for (double id : {-1.0, 7.0}) {
    EXPECT_FALSE(Call("mp_grid_destroy", {id}).reported);
    EXPECT_FALSE(Call("mp_grid_add_cell", {id, 0, 0}).reported);
  }
}

TEST_F(Grids, SizesThatCannotMakeAGridAreRefused) {
  const struct {
    double columns, rows, w, h;
    const char* why;
  } cases[] = {
      {4, 4, 0, 8, "cell width and height must be at least 1"},
      {4, 4, 8, 0, "cell width and height must be at least 1"},
      {4, 4, -8, 8, "cell width and height must be at least 1"},
      {-1, 4, 8, 8, "numbers of cells must not be negative"},
      {100000, 100000, 1, 1, "a grid of 100000 x 100000 cells is too large"},
      {1e12, 1e12, 1, 1, "a grid of 2147483647 x 2147483647 cells is too large"},
  };
  for (const auto& c : cases) {
    const Outcome out = Call("mp_grid_create", {0, 0, c.columns, c.rows, c.w, c.h});
    EXPECT_EQ(out.Real(), -1) << c.why;
    EXPECT_NE(out.report.find(c.why), std::string::npos) << out.report;
  }
  EXPECT_EQ(Create(0, 0, 4, 4, 8, 8), 0) << "nothing was left in the table";
}

TEST_F(Grids, CellsAndRectanglesOfCells) {
  // A 4 x 3 grid of 10-pixel cells whose corner lies left of and above the
  // room's origin, so that the cell arithmetic meets negative numbers.
  const int id = Create(-20, -10, 4, 3, 10, 10);
  Call("mp_grid_add_cell", {id, 4, 0});     // past the last column
  Call("mp_grid_add_cell", {id, 0, 3});     // past the last row
  Call("mp_grid_add_cell", {id, -1, 0});
  EXPECT_EQ(Map(id), (std::vector<std::string>{"....", "....", "...."}));
  Call("mp_grid_add_cell", {id, 2.5, 0.5});  // halves round to even: (2, 0)
  EXPECT_EQ(Map(id), (std::vector<std::string>{"..#.", "....", "...."}));
  Call("mp_grid_clear_cell", {id, 2, 0});
  Call("mp_grid_clear_cell", {id, 2, 3});
  EXPECT_EQ(Map(id), (std::vector<std::string>{"....", "....", "...."}));

  const struct {
    double x1, y1, x2, y2;
    std::vector<std::string> map;
  } rectangles[] = {
      {-20, -10, -20, -10, {"#...", "....", "...."}},  // one pixel: one cell
      {-11, 0, -10, 0, {"....", "##..", "...."}},     // the last pixel of a cell and the first of the next
      {15, 15, 0, -1, {"..##", "..##", "..##"}},       // corners in either order, cut to the grid
      {-500, -500, 500, 500, {"####", "####", "####"}},
      // Wholly left of or above the grid: nothing, though the offsets would
      // truncate to cell 0.
      {-29, -10, -21, 10, {"....", "....", "...."}},
      {-20, -19, 10, -11, {"....", "....", "...."}},
  };
  for (const auto& r : rectangles) {
    std::vector<std::string> want = r.map;
    for (std::string& row : want) row.resize(4, '.');
    Call("mp_grid_clear_all", {id});
    Call("mp_grid_add_rectangle", {id, r.x1, r.y1, r.x2, r.y2});
    EXPECT_EQ(Map(id), want) << r.x1 << "," << r.y1 << " to " << r.x2 << "," << r.y2;
  }
  Call("mp_grid_add_rectangle", {id, -20, -10, 19, 19});
  Call("mp_grid_clear_rectangle", {id, -10, 0, 0, 0});
  EXPECT_EQ(Map(id), (std::vector<std::string>{"####", "#..#", "####"}));
}

TEST_F(Grids, AStraightWayThroughTheCellCentres) {
  const int id = Create(0, 0, 10, 10, 32, 32);
  const int path = int(Real("path_add"));
  EXPECT_EQ(Real("mp_grid_path", {id, path, 16, 16, 16, 112, 0}), 1);
  EXPECT_EQ(Points(path), (std::vector<Pt>{{16, 16}, {16, 48}, {16, 80}, {16, 112}}));
  const CMotionPath* p = Path_Get(path);
  EXPECT_FALSE(p->GetClosed());
  EXPECT_EQ(p->GetKind(), 0);
  EXPECT_EQ(p->GetPoint(1).speed, 100);
  // The exact start and goal, not their cells' centres.
  EXPECT_EQ(Real("mp_grid_path", {id, path, 3, 5, 70, 20, 0}), 1);
  EXPECT_EQ(Points(path), (std::vector<Pt>{{3, 5}, {48, 16}, {70, 20}}));
  // One cell: just the two points.
  EXPECT_EQ(Real("mp_grid_path", {id, path, 1, 1, 30, 30, 1}), 1);
  EXPECT_EQ(Points(path), (std::vector<Pt>{{1, 1}, {30, 30}}));
}

TEST_F(Grids, RefusedWaysLeaveThePathAlone) {
  const int id = Create(0, 0, 4, 4, 10, 10);
  const int path = int(Real("path_add"));
  Path_Get(path)->AddPoint(7, 7, 50);
  Call("mp_grid_add_cell", {id, 3, 3});
  Call("mp_grid_add_rectangle", {id, 20, 0, 20, 39});  // a wall down column 2
  const struct {
    double xs, ys, xg, yg;
  } cases[] = {
      {5, 5, 35, 35},   // goal blocked
      {35, 35, 5, 5},   // start blocked
      {-1, 5, 5, 5},    // start left of the grid
      {5, 5, 40, 5},    // goal just past the last column
      {5, 5, 35, 5},    // walled off
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Real("mp_grid_path", {id, path, c.xs, c.ys, c.xg, c.yg, 1}), 0) << c.xs << "," << c.ys;
    EXPECT_EQ(Points(path), (std::vector<Pt>{{7, 7}}));
  }
  EXPECT_EQ(Map(id), (std::vector<std::string>{"..#.", "..#.", "..#.", "..##"})) << "the wave is wiped";
  // A grid id naming no grid: false. A path index naming no path: reported,
  // no result.
  EXPECT_EQ(Real("mp_grid_path", {9, path, 5, 5, 5, 15, 0}), 0);
  const Outcome out = Call("mp_grid_path", {id, 9, 5, 5, 5, 15, 0});
  EXPECT_NE(out.report.find("Trying to assign to a non-existing path."), std::string::npos) << out.report;
  EXPECT_EQ(out.Real(), 0);
}

TEST_F(Grids, DiagonalsNeverCutTheCornerOfABlockedCell) {
  const int id = Create(0, 0, 3, 3, 10, 10);
  const int path = int(Real("path_add"));
  EXPECT_EQ(Real("mp_grid_path", {id, path, 5, 5, 25, 25, 1}), 1);
  EXPECT_EQ(Points(path), (std::vector<Pt>{{5, 5}, {15, 15}, {25, 25}})) << "straight down the diagonal";
  Call("mp_grid_add_cell", {id, 1, 0});
  EXPECT_EQ(Real("mp_grid_path", {id, path, 5, 5, 25, 15, 1}), 1);
  // (0,0) -> (1,1) would pass the blocked (1,0): down first, then across.
  const std::vector<Pt> way = Points(path);
  ASSERT_EQ(way.size(), 4u);
  EXPECT_EQ(way[1], (Pt{5, 15}));
  // And again, the same: the search left no marks.
  EXPECT_EQ(Real("mp_grid_path", {id, path, 5, 5, 25, 15, 1}), 1);
  EXPECT_EQ(Points(path), way);
}

// Breadth-first steps from cell to cell, a diagonal allowed where neither
// cell beside it is blocked; -1 when the goal cannot be reached.
int OracleSteps(const std::vector<std::string>& map, int sh, int sv, int gh, int gv, bool diag) {
  const int rows = int(map.size()), columns = int(map[0].size());
  auto blocked = [&](int h, int v) { return h < 0 || v < 0 || h >= columns || v >= rows || map[v][h] == '#'; };
  std::vector<int> dist(size_t(rows * columns), -1);
  std::queue<std::pair<int, int>> q;
  dist[size_t(sv * columns + sh)] = 0;
  q.push({sh, sv});
  while (!q.empty()) {
    auto [h, v] = q.front();
    q.pop();
    for (int dh = -1; dh <= 1; ++dh) {
      for (int dv = -1; dv <= 1; ++dv) {
        if ((dh == 0 && dv == 0) || blocked(h + dh, v + dv)) continue;
        if (dh != 0 && dv != 0 && (!diag || blocked(h + dh, v) || blocked(h, v + dv))) continue;
        int& d = dist[size_t((v + dv) * columns + h + dh)];
        if (d >= 0) continue;
        d = dist[size_t(v * columns + h)] + 1;
        q.push({h + dh, v + dv});
      }
    }
  }
  return dist[size_t(gv * columns + gh)];
}

TEST_F(Grids, WaysAreAsShortAsABreadthFirstSearchFinds) {
  std::mt19937 random(20240517);
  constexpr int kCell = 8;
  int found = 0, refused = 0;
  for (int round = 0; round < 400; ++round) {
    const int columns = 2 + int(random() % 14), rows = 2 + int(random() % 14);
    const bool diag = round % 2 == 1;
    const int id = Create(40, -24, columns, rows, kCell, kCell);
    std::vector<std::string> map(size_t(rows), std::string(size_t(columns), '.'));
    for (int v = 0; v < rows; ++v)
      for (int h = 0; h < columns; ++h)
        if (random() % 100 < 30) {
          map[size_t(v)][size_t(h)] = '#';
          Call("mp_grid_add_cell", {id, h, v});
        }
    const int sh = int(random() % unsigned(columns)), sv = int(random() % unsigned(rows));
    const int gh = int(random() % unsigned(columns)), gv = int(random() % unsigned(rows));
    map[size_t(sv)][size_t(sh)] = map[size_t(gv)][size_t(gh)] = '.';
    Call("mp_grid_clear_cell", {id, sh, sv});
    Call("mp_grid_clear_cell", {id, gh, gv});
    const int path = int(Real("path_add"));
    const double xs = 40 + sh * kCell + 1, ys = -24 + sv * kCell + 6;
    const double xg = 40 + gh * kCell + 7, yg = -24 + gv * kCell;
    const bool ok = Real("mp_grid_path", {id, path, xs, ys, xg, yg, diag ? 1.0 : 0.0}) == 1;
    const int steps = OracleSteps(map, sh, sv, gh, gv, diag);
    SCOPED_TRACE("round " + std::to_string(round));
    ASSERT_EQ(ok, steps >= 0);
    EXPECT_EQ(Map(id), map) << "the search changed the cells";
    if (!ok) {
      ++refused;
      continue;
    }
    ++found;
    // Start, one centre per cell between, goal; every step a legal one.
    const std::vector<Pt> way = Points(path);
    ASSERT_EQ(int(way.size()), std::max(steps, 1) + 1);
    EXPECT_EQ(way.front(), (Pt{float(xs), float(ys)}));
    EXPECT_EQ(way.back(), (Pt{float(xg), float(yg)}));
    int h = sh, v = sv;
    for (size_t i = 1; i < way.size(); ++i) {
      const int nh = i + 1 == way.size() ? gh : (int(way[i].x) - 40 - kCell / 2) / kCell;
      const int nv = i + 1 == way.size() ? gv : (int(way[i].y) + 24 - kCell / 2) / kCell;
      if (i + 1 < way.size()) {
        EXPECT_EQ(way[i], (Pt{float(40 + nh * kCell + 4), float(-24 + nv * kCell + 4)}));
      }
      const int dh = nh - h, dv = nv - v;
      ASSERT_LE(std::abs(dh) + std::abs(dv), diag ? 2 : 1) << "step " << i;
      ASSERT_LE(std::max(std::abs(dh), std::abs(dv)), 1) << "step " << i;
      ASSERT_EQ(map[size_t(nv)][size_t(nh)], '.') << "step " << i;
      if (dh != 0 && dv != 0) {
        EXPECT_EQ(map[size_t(v)][size_t(nh)], '.') << "corner cut at step " << i;
        EXPECT_EQ(map[size_t(nv)][size_t(h)], '.') << "corner cut at step " << i;
      }
      h = nh;
      v = nv;
    }
    Call("mp_grid_destroy", {id});
  }
  EXPECT_GT(found, 100);
  EXPECT_GT(refused, 10);
}

// ---- Blocking under instances -----------------------------------------------------

class GridInstances : public Grids {
 protected:
  void SetUp() override {
    Grids::SetUp();
    Instance_SetSpriteLookup(motion_world::Sprites);
    Precise_SetMaskLookup(motion_world::Masks);
    g_Run.room = &room_;
    box_ = Object_Add();
    Object_Find(box_)->sprite_index = 0;
    corner_ = Object_Add();
    Object_Find(corner_)->sprite_index = 1;
  }
  void TearDown() override {
    room_.DeleteAllInstances();
    g_Run.room = nullptr;
    Grids::TearDown();
  }
  CGameRoom room_;
  int32_t box_ = 0, corner_ = 0;
};

TEST_F(GridInstances, TheBoxBlocksEveryCellItTouchesAndThePreciseShapeOnlyItsOwn) {
  const int id = Create(0, 0, 4, 3, 8, 8);
  // Box (7, 2)-(16, 11): only its last pixel column reaches column 2.
  room_.CreateInstance(7, 2, box_);
  Call("mp_grid_add_instances", {id, box_, 0});
  EXPECT_EQ(Map(id), (std::vector<std::string>{"###.", "###.", "...."}));
  // The same box, precise: only the cell under the one solid pixel (21, 20).
  Call("mp_grid_clear_all", {id});
  room_.CreateInstance(12, 11, corner_);
  Call("mp_grid_add_instances", {id, corner_, 1});
  EXPECT_EQ(Map(id), (std::vector<std::string>{"....", "....", "..#."}));
  Call("mp_grid_add_instances", {id, corner_, 0});
  EXPECT_EQ(Map(id), (std::vector<std::string>{"....", ".##.", ".##."}));
  // Every instance of the room.
  Call("mp_grid_clear_all", {id});
  Call("mp_grid_add_instances", {id, -3, 0});
  EXPECT_EQ(Map(id), (std::vector<std::string>{"###.", "###.", ".##."}));
}

}  // namespace
