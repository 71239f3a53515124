#include "core/paths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/game_data.h"
#include "tools/pack/pack.h"

namespace {

CMotionPath Square(bool closed, int kind = 0) {
  CMotionPath p;
  p.SetClosed(closed);
  p.SetKind(kind);
  p.AddPoint(0, 0, 100);
  p.AddPoint(100, 0, 100);
  p.AddPoint(100, 100, 50);
  p.AddPoint(0, 100, 100);
  return p;
}

struct At {
  float t, x, y;
};

TEST(Paths, StraightPathsThroughTheirPoints) {
  CMotionPath closed = Square(true);
  EXPECT_EQ(closed.Computed().size(), 5u);
  EXPECT_FLOAT_EQ(closed.GetLength(), 400);
  CMotionPath open = Square(false);
  EXPECT_FLOAT_EQ(open.GetLength(), 300);
  const At closedCases[] = {{0.5f, 100, 100}, {0.625f, 50, 100}, {-1, 0, 0}, {2, 0, 0}, {0.125f, 50, 0}};
  for (const At& c : closedCases) {
    SCOPED_TRACE(c.t);
    EXPECT_FLOAT_EQ(closed.XPosition(c.t), c.x);
    EXPECT_FLOAT_EQ(closed.YPosition(c.t), c.y);
  }
  EXPECT_FLOAT_EQ(open.XPosition(2), 0);
  EXPECT_FLOAT_EQ(open.YPosition(2), 100);
  // Speeds are interpolated like positions: halfway down the right edge.
  EXPECT_FLOAT_EQ(closed.SpeedAt(0.375f), 75);
  CMotionPath empty;
  float x, y, s;
  empty.GetPosition(0.5f, &x, &y, &s);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(s, 100);
}

TEST(Paths, OpenSquareOfThreeEdges) {
  CMotionPath p;
  p.SetClosed(false);
  p.AddPoint(0, 0, 100);
  p.AddPoint(100, 0, 100);
  p.AddPoint(100, 100, 100);
  EXPECT_FLOAT_EQ(p.GetLength(), 200);
  EXPECT_FLOAT_EQ(p.XPosition(0.75f), 100);
  EXPECT_FLOAT_EQ(p.YPosition(0.75f), 50);
}

TEST(Paths, SmoothPathsCutTheCorners) {
  CMotionPath p;
  p.SetClosed(false);
  p.SetKind(1);
  p.SetPrecision(0);
  p.AddPoint(0, 0, 100);
  p.AddPoint(50, 80, 100);
  p.AddPoint(100, 0, 100);
  ASSERT_EQ(p.Computed().size(), 2u) << "precision 0: a straight line from end to end";
  EXPECT_FLOAT_EQ(p.GetLength(), 100);
  p.SetPrecision(1);
  // One middle point of the corner's curve: (S + 2T + U) / 4 with S, U the
  // edge midpoints (25, 40) and (75, 40).
  ASSERT_EQ(p.Computed().size(), 3u);
  EXPECT_FLOAT_EQ(p.Computed()[1].x, 50);
  EXPECT_FLOAT_EQ(p.Computed()[1].y, 60);
  p.SetPrecision(8);
  // Ends stay on the end points; the curve never reaches the corner.
  EXPECT_FLOAT_EQ(p.Computed().front().x, 0);
  EXPECT_FLOAT_EQ(p.Computed().back().x, 100);
  for (const PathComputedPoint& c : p.Computed()) EXPECT_LE(c.y, 60.0f);
  // Points come out in order along the curve.
  for (size_t i = 1; i < p.Computed().size(); ++i) EXPECT_GT(p.Computed()[i].x, p.Computed()[i - 1].x);
  // A closed smooth path with nothing to subdivide still has its point.
  CMotionPath lone;
  lone.SetKind(1);
  lone.SetPrecision(0);
  lone.AddPoint(5, 5, 100);
  EXPECT_FALSE(lone.Computed().empty());
  EXPECT_FLOAT_EQ(lone.XPosition(0.5f), 5);
}

TEST(Paths, SettersAndEdits) {
  CMotionPath p;
  EXPECT_TRUE(p.GetClosed());
  EXPECT_EQ(p.GetKind(), 0);
  EXPECT_EQ(p.GetPrecision(), 4);
  p.SetPrecision(20);
  EXPECT_EQ(p.GetPrecision(), 8);
  p.SetPrecision(-3);
  EXPECT_EQ(p.GetPrecision(), 0);
  for (int kind : {5, -1}) {
    p.SetKind(kind);
    EXPECT_EQ(p.GetKind(), 0);
  }
  p.AddPoint(1, 1, 1);
  p.InsertPoint(1, 2, 2, 2);  // at the count: appends
  p.InsertPoint(3, 9, 9, 9);  // past it: nothing
  ASSERT_EQ(p.GetNumber(), 2);
  EXPECT_EQ(p.GetPoint(1).x, 2);
  EXPECT_EQ(p.GetPoint(7).speed, 0);
  CMotionPath four = Square(false);
  four.Reverse();
  EXPECT_EQ(four.GetPoint(0).y, 100);
  EXPECT_EQ(four.GetPoint(3).x, 0);
  EXPECT_EQ(four.GetPoint(3).y, 0);
  CMotionPath one;
  one.AddPoint(10, 0, 100);
  one.Rotate(90);
  EXPECT_FLOAT_EQ(one.GetPoint(0).x, 10);
  EXPECT_FLOAT_EQ(one.GetPoint(0).y, 0);
  // A quarter turn anticlockwise on a y-down screen: right becomes up.
  CMotionPath bar;
  bar.AddPoint(0, 0, 100);
  bar.AddPoint(10, 0, 100);
  bar.Rotate(90);
  EXPECT_NEAR(bar.GetPoint(1).x, 5, 1e-5);
  EXPECT_NEAR(bar.GetPoint(1).y, -5, 1e-5);
  bar.Append(&bar);
  EXPECT_EQ(bar.GetNumber(), 4);
}

TEST(PathTable, AddDeleteAssignAndNames) {
  Path_Init();
  EXPECT_EQ(Path_Add(), 0);
  EXPECT_EQ(Path_Add(), 1);
  EXPECT_EQ(Path_Add(), 2);
  EXPECT_TRUE(Path_Delete(1));
  EXPECT_FALSE(Path_Delete(1));
  EXPECT_EQ(Path_Add(), 3);
  EXPECT_EQ(Path_GetName(3), "__newpath3");
  EXPECT_EQ(Path_GetName(1), "<undefined>");
  EXPECT_EQ(Path_FindByName("__newpath2"), 2);
  EXPECT_EQ(Path_FindByName("__newpath1"), -1);
  Path_Get(0)->AddPoint(3, 4, 100);
  EXPECT_FALSE(Path_Assign(0, 0));
  EXPECT_TRUE(Path_Assign(1, 0));
  ASSERT_TRUE(Path_Exists(1));
  EXPECT_EQ(Path_Get(1)->GetNumber(), 1);
  EXPECT_FALSE(Path_Assign(9, 0));
  EXPECT_FALSE(Path_Assign(0, 9));
  EXPECT_EQ(Path_Duplicate(0), 4);
  EXPECT_EQ(Path_Get(4)->GetPoint(0).y, 4);
  EXPECT_EQ(Path_Duplicate(7), -1);
  EXPECT_EQ(Path_Get(-1), nullptr);
  Path_FreeAll();
  EXPECT_EQ(Path_Count(), 0);
}

TEST(PathTable, LoadsThePathChunkAndRefusesDamage) {
  auto build = [](uint32_t points, bool truncate) {
    twpack::Writer w;
    twpack::ChunkBuilder& c = w.AddChunk("PATH");
    twpack::Label a = c.NewLabel();
    c.U32(2).OffsetOf(a).U32(0);
    c.Bind(a).StringRef("pth_loop").U32(1).U32(0).U32(3).U32(points);
    for (uint32_t i = 0; i < (truncate ? 1u : points); ++i) c.F32(float(i) * 10).F32(0).F32(100);
    return w.Build();
  };
  GameDataFile file(build(2, false));
  std::vector<ChunkRef> chunks = file.Chunks();
  ASSERT_FALSE(chunks.empty());
  ASSERT_TRUE(Path_Load(ChunkBody(file, chunks[0])));
  ASSERT_EQ(Path_Count(), 2);
  EXPECT_FALSE(Path_Exists(1));
  ASSERT_TRUE(Path_Exists(0));
  EXPECT_EQ(Path_GetName(0), "pth_loop");
  EXPECT_EQ(Path_Get(0)->GetKind(), 1);
  EXPECT_FALSE(Path_Get(0)->GetClosed());
  EXPECT_EQ(Path_Get(0)->GetPrecision(), 3);
  EXPECT_FLOAT_EQ(Path_Get(0)->GetLength(), 10);
  // A point count that runs past the container.
  GameDataFile bad(build(100000, true));
  EXPECT_THROW(Path_Load(ChunkBody(bad, bad.Chunks()[0])), DataError);
  EXPECT_EQ(Path_Count(), 2) << "the table is kept when the chunk is refused";
  Path_FreeAll();
}

TEST(PathTable, PrecisionFromTheFileIsKeptInTheSettersRange) {
  // A smooth corner a million pixels wide: every level of subdivision halves
  // its edges, so an unchecked precision would add a point per four pixels.
  auto load = [](int32_t precision) {
    twpack::Writer w;
    twpack::ChunkBuilder& c = w.AddChunk("PATH");
    twpack::Label a = c.NewLabel();
    c.U32(1).OffsetOf(a);
    c.Bind(a).StringRef("pth_wide").U32(1).U32(0).S32(precision).U32(3);
    for (float x : {0.0f, 1e6f, 2e6f}) c.F32(x).F32(x == 1e6f ? 1e6f : 0).F32(100);
    GameDataFile file(w.Build());
    EXPECT_TRUE(Path_Load(ChunkBody(file, file.Chunks()[0])));
    return Path_Get(0);
  };
  const struct {
    int32_t stored, kept;
  } cases[] = {{40, 8}, {-3, 0}, {5, 5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    const CMotionPath* p = load(c.stored);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->GetPrecision(), c.kept);
    // The two ends and at most 2^precision - 1 points of the one corner.
    EXPECT_LE(p->Computed().size(), size_t(2 + (1 << c.kept) - 1));
  }
  Path_FreeAll();
}

TEST(Paths, AFractionThatIsNotANumberGivesTheStart) {
  CMotionPath p = Square(false);
  float x = -1, y = -1, s = -1;
  p.GetPosition(std::nanf(""), &x, &y, &s);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(s, 100);
}

TEST(Paths, PointsAddedOneByOneComputeAsAWholeList) {
  // Straight open paths grow at their end without a whole recompute; every
  // kind must still equal the path set at once.
  const std::vector<PathPoint> points = {{0, 0, 100}, {3, 4, 50}, {3, 4, 80}, {-7.5f, 1e-3f, 100}, {1e7f, 2, 0}};
  for (int32_t kind : {0, 1}) {
    for (bool closed : {false, true}) {
      CMotionPath whole, grown;
      for (CMotionPath* p : {&whole, &grown}) {
        p->SetKind(kind);
        p->SetClosed(closed);
      }
      whole.SetPoints(points);
      for (const PathPoint& q : points) grown.AddPoint(q.x, q.y, q.speed);
      ASSERT_EQ(grown.Computed().size(), whole.Computed().size()) << kind << closed;
      for (size_t i = 0; i < whole.Computed().size(); ++i) {
        const PathComputedPoint &a = whole.Computed()[i], &b = grown.Computed()[i];
        EXPECT_EQ(std::vector<float>({a.x, a.y, a.speed, a.distance}),
                  std::vector<float>({b.x, b.y, b.speed, b.distance}))
            << "kind " << kind << " closed " << closed << " point " << i;
      }
      EXPECT_EQ(grown.GetLength(), whole.GetLength());
      EXPECT_EQ(grown.XPosition(0.5f), whole.XPosition(0.5f));
    }
  }
}

}  // namespace
