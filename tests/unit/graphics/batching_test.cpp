#include <cstring>
#include <vector>

#include "core/run_state.h"
#include "graphics_fixture.h"
#include "script/errors.h"

namespace {

using gfx::RecordingDevice;
using Op = RecordingDevice::Op;

struct Vertex24 {
  float x, y, z;
  uint32_t colour;
  float u, v;
};
static_assert(sizeof(Vertex24) == 24);

class Batching : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    device.captureVertices = true;
  }

  // A sprite quad as two triangles, tagged by its x.
  void Quad(gfx::TextureHandle texture, float x) {
    auto* v = static_cast<Vertex24*>(VertexBatch_Reserve(gfx::Prim_TriangleList, texture, 24, 6));
    ASSERT_NE(v, nullptr);
    for (int i = 0; i < 6; ++i) v[i] = {x, static_cast<float>(i), 0, 0xFFFFFFFF, 0, 0};
  }

  void Fill(int kind, int count, uint32_t size = 16) {
    auto* p = static_cast<uint8_t*>(VertexBatch_Reserve(kind, 0, size, count));
    ASSERT_NE(p, nullptr);
    std::memset(p, 0, static_cast<size_t>(count) * VertexBatch_Stride(size == 16 ? kFVF_PosColour : size));
  }

  std::vector<Op> OpsOf(std::initializer_list<Op> wanted) const {
    std::vector<Op> out;
    for (const auto& call : device.Calls())
      for (Op op : wanted)
        if (call.op == op) out.push_back(op);
    return out;
  }

  static std::vector<float> Xs(const RecordingDevice::Draw& draw) {
    std::vector<float> xs;
    for (size_t i = 0; i + sizeof(Vertex24) <= draw.vertices.size(); i += 6 * sizeof(Vertex24)) {
      Vertex24 v;
      std::memcpy(&v, draw.vertices.data() + i, sizeof v);
      xs.push_back(v.x);
    }
    return xs;
  }
};

TEST_F(Batching, QuadsSharingTextureAndStatesGoOutInOneDrawCall) {
  Quad(3, 1);
  Quad(3, 2);
  Quad(3, 3);
  EXPECT_EQ(device.DrawCallCount(), 0u);
  VertexBatch_Flush();
  ASSERT_EQ(device.DrawCallCount(), 1u);
  const auto& draw = device.Draws()[0];
  EXPECT_EQ(draw.type, gfx::Prim_TriangleList);
  EXPECT_EQ(draw.primitiveCount, 6);
  EXPECT_EQ(draw.texture, 3u);
  EXPECT_EQ(draw.fvf, kFVF_PosColourUV);
  EXPECT_EQ(Xs(draw), (std::vector<float>{1, 2, 3}));
  EXPECT_EQ(VertexBatch_Count(), 1);
}

TEST_F(Batching, AStateChangeBetweenQuadsSplitsTheBatch) {
  Quad(3, 1);
  RenderState_SetBlendMode(BlendMode_Add);
  Quad(3, 2);
  VertexBatch_Flush();
  ASSERT_EQ(device.DrawCallCount(), 2u);
  EXPECT_EQ(Xs(device.Draws()[0]), std::vector<float>{1});
  EXPECT_EQ(Xs(device.Draws()[1]), std::vector<float>{2});
  // The first quad is drawn before the state reaches the device.
  EXPECT_EQ(OpsOf({Op::DrawPrimitive, Op::SetRenderState}),
            (std::vector<Op>{Op::DrawPrimitive, Op::SetRenderState, Op::DrawPrimitive}));
}

TEST_F(Batching, AStateSetAndResetBeforeAFlushNeverReachesTheDevice) {
  Quad(3, 1);
  RenderState_SetBlendMode(BlendMode_Subtract);
  RenderState_SetCulling(true);
  RenderState_SetInterpolationExt(0, false);
  RenderState_SetBlendMode(BlendMode_Normal);
  RenderState_SetCulling(false);
  RenderState_SetInterpolationExt(0, true);
  Quad(3, 2);
  VertexBatch_Flush();
  EXPECT_EQ(device.DrawCallCount(), 1u);
  EXPECT_EQ(device.CountOf(Op::SetRenderState), 0u);
  EXPECT_EQ(device.CountOf(Op::SetSamplerState), 0u);
}

TEST_F(Batching, TextureAndTransformChangesSplitTheBatch) {
  Quad(3, 1);
  Quad(4, 2);
  Transform_SetTranslation(10, 0, 0);
  Quad(4, 3);
  VertexBatch_Flush();
  ASSERT_EQ(device.DrawCallCount(), 3u);
  EXPECT_EQ(device.Draws()[0].texture, 3u);
  EXPECT_EQ(device.Draws()[1].texture, 4u);
  EXPECT_EQ(OpsOf({Op::DrawPrimitive, Op::SetTransform}),
            (std::vector<Op>{Op::DrawPrimitive, Op::DrawPrimitive, Op::SetTransform, Op::DrawPrimitive}));
}

TEST_F(Batching, OnlyListsAreMerged) {
  struct Case {
    int kind, count;
    size_t draws;
  };
  const Case cases[] = {{gfx::Prim_PointList, 2, 1},     {gfx::Prim_LineList, 2, 1},
                        {gfx::Prim_TriangleList, 3, 1},  {gfx::Prim_LineStrip, 3, 2},
                        {gfx::Prim_TriangleStrip, 4, 2}, {gfx::Prim_TriangleFan, 4, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    device.ClearLog();
    Fill(c.kind, c.count);
    Fill(c.kind, c.count);
    VertexBatch_Flush();
    EXPECT_EQ(device.DrawCallCount(), c.draws);
  }
}

TEST_F(Batching, ANamedFormatNeverExtendsABatch) {
  Fill(gfx::Prim_TriangleList, 3, kFVF_PosColourUV);
  Fill(gfx::Prim_TriangleList, 3, kFVF_PosColourUV);
  // A 24-byte size after a different 24-byte format must not join it either.
  Fill(gfx::Prim_TriangleList, 3, gfx::FVF_Normal | gfx::FVF_Diffuse | gfx::FVF_Tex1);  // 24 bytes, no position
  Fill(gfx::Prim_TriangleList, 3, 24);
  VertexBatch_Flush();
  EXPECT_EQ(device.DrawCallCount(), 4u);
}

TEST_F(Batching, PrimitiveCounts) {
  struct Case {
    int kind, vertices, primitives;  // 0: nothing drawn
    gfx::PrimitiveType drawnAs;
  };
  const Case cases[] = {
      {gfx::Prim_PointList, 3, 3, gfx::Prim_PointList},    {gfx::Prim_LineList, 5, 2, gfx::Prim_LineList},
      {gfx::Prim_LineList, 1, 0, gfx::Prim_LineList},      {gfx::Prim_LineStrip, 4, 3, gfx::Prim_LineStrip},
      {gfx::Prim_LineStrip, 1, 0, gfx::Prim_LineStrip},    {gfx::Prim_TriangleList, 7, 2, gfx::Prim_TriangleList},
      {gfx::Prim_TriangleStrip, 2, 0, gfx::Prim_TriangleStrip}, {gfx::Prim_TriangleFan, 6, 4, gfx::Prim_TriangleFan},
      {9, 4, 4, gfx::Prim_PointList},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "kind " << c.kind << " vertices " << c.vertices);
    device.ClearLog();
    Fill(c.kind, c.vertices);
    VertexBatch_Flush();
    if (c.primitives == 0) {
      EXPECT_EQ(device.DrawCallCount(), 0u);
    } else {
      ASSERT_EQ(device.DrawCallCount(), 1u);
      EXPECT_EQ(device.Draws()[0].primitiveCount, c.primitives);
      EXPECT_EQ(device.Draws()[0].type, c.drawnAs);
    }
  }
}

TEST_F(Batching, LeftoverVerticesOfAnUndrawnBatchStayOut) {
  Fill(gfx::Prim_LineList, 1);  // one vertex: no line
  VertexBatch_Flush();
  auto* v = static_cast<float*>(VertexBatch_Reserve(gfx::Prim_TriangleList, 0, 16, 3));
  ASSERT_NE(v, nullptr);
  for (int i = 0; i < 3; ++i) v[i * 4] = 100.0f + static_cast<float>(i);
  VertexBatch_Flush();
  ASSERT_EQ(device.DrawCallCount(), 1u);
  const auto& draw = device.Draws()[0];
  ASSERT_EQ(draw.vertices.size(), 3u * 16);
  float first;
  std::memcpy(&first, draw.vertices.data(), sizeof first);
  EXPECT_EQ(first, 100.0f);
}

TEST_F(Batching, UnreserveGivesBackTheLastVertices) {
  Fill(gfx::Prim_TriangleList, 6);
  VertexBatch_Unreserve(3);
  VertexBatch_Unreserve(100);  // never below the batch start
  Fill(gfx::Prim_TriangleList, 3);
  VertexBatch_Flush();
  ASSERT_EQ(device.DrawCallCount(), 1u);
  EXPECT_EQ(device.Draws()[0].primitiveCount, 1);
}

TEST_F(Batching, ALargeRequestGetsABufferOfExactlyItsSize) {
  Fill(gfx::Prim_PointList, 20000);
  Fill(gfx::Prim_PointList, 10);
  ASSERT_EQ(device.CountOf(Op::CreateVertexBuffer), 2u);
  std::vector<uint32_t> sizes;
  for (const auto& call : device.Calls())
    if (call.op == Op::CreateVertexBuffer) sizes.push_back(call.a);
  EXPECT_EQ(sizes, (std::vector<uint32_t>{20000 * 16, 16384 * 16}));
}

TEST_F(Batching, ABufferRestsThreeFramesAfterUse) {
  std::vector<uint32_t> used;
  for (int frame = 0; frame < 6; ++frame) {
    device.ClearLog();
    Fill(gfx::Prim_TriangleList, 3);
    VertexBatch_Flush();
    VertexBatch_BeginFrame();
    for (const auto& call : device.Calls())
      if (call.op == Op::SetStreamSource) used.push_back(call.b);
  }
  EXPECT_EQ(used, (std::vector<uint32_t>{1, 2, 3, 4, 1, 2}));
}

TEST_F(Batching, LocksDiscardFirstInAFrameAndAppendAfterwards) {
  Fill(gfx::Prim_TriangleList, 3);
  VertexBatch_Flush();
  Fill(gfx::Prim_TriangleList, 3);
  VertexBatch_Flush();
  std::vector<RecordingDevice::Call> locks;
  for (const auto& call : device.Calls())
    if (call.op == Op::Lock) locks.push_back(call);
  ASSERT_EQ(locks.size(), 2u);
  EXPECT_EQ(locks[0].b, 0u);
  EXPECT_EQ(locks[0].d, gfx::Lock_Discard);
  EXPECT_EQ(locks[1].b, 3u * 16);
  EXPECT_EQ(locks[1].d, gfx::Lock_NoOverwrite);
  // The second batch is drawn from where it starts.
  std::vector<uint32_t> offsets;
  for (const auto& call : device.Calls())
    if (call.op == Op::SetStreamSource) offsets.push_back(call.c);
  EXPECT_EQ(offsets, (std::vector<uint32_t>{0, 48}));
}

TEST_F(Batching, PerBatchFlushTakesAFreshBufferForEveryBatch) {
  VertexBatch_SetPerBatchFlush(true);
  Fill(gfx::Prim_TriangleList, 3);
  VertexBatch_Flush();
  Fill(gfx::Prim_TriangleList, 3);
  VertexBatch_Flush();
  EXPECT_EQ(VertexBatch_BufferCount(), 2u);
}

TEST_F(Batching, AFailedDynamicBufferFallsBackToAPlainOne) {
  device.failCreates = 1;
  Fill(gfx::Prim_TriangleList, 3);
  VertexBatch_Flush();
  Fill(gfx::Prim_TriangleList, 3);
  VertexBatch_Flush();
  EXPECT_EQ(device.DrawCallCount(), 2u);
  for (const auto& call : device.Calls())
    if (call.op == Op::Lock) {
      EXPECT_EQ(call.d, gfx::Lock_None);  // not dynamic
    }
}

TEST_F(Batching, UploadFillsAStaticBufferFromTheStartAndNeverPastItsEnd) {
  CVertexBufferD3D vb;
  ASSERT_TRUE(vb.Create(kFVF_PosColour, 4, 0));
  EXPECT_FALSE(vb.flags & CVertexBufferD3D::kDynamic);
  std::vector<uint8_t> bytes(10 * 16, 0xAB);
  vb.Upload(bytes.data(), bytes.size());
  std::vector<RecordingDevice::Call> locks;
  for (const auto& call : device.Calls())
    if (call.op == Op::Lock) locks.push_back(call);
  ASSERT_EQ(locks.size(), 1u);
  EXPECT_EQ(locks[0].b, 0u);
  EXPECT_EQ(locks[0].c, 4u * 16);  // cut to the capacity
  EXPECT_EQ(locks[0].d, gfx::Lock_None);
  EXPECT_EQ(device.CountOf(Op::Unlock), 1u);

  device.SetStreamSource(0, vb.buffer, 0, 16);
  device.DrawPrimitive(gfx::Prim_LineList, 0, 2);
  EXPECT_EQ(device.Draws().back().vertices, std::vector<uint8_t>(4 * 16, 0xAB));

  ASSERT_NE(vb.Lock(), nullptr);
  device.ClearLog();
  vb.Upload(bytes.data(), bytes.size());  // ignored while locked
  vb.Upload(nullptr, 16);
  EXPECT_TRUE(device.Calls().empty());
  vb.Release();
  EXPECT_EQ(device.LiveVertexBuffers(), 0u);
}

TEST_F(Batching, NoBufferAtAllIsAFatalError) {
  Error_ResetForTests();
  g_ShowErrors = false;
  device.failCreates = 2;
  EXPECT_EQ(VertexBatch_Reserve(gfx::Prim_TriangleList, 0, 24, 3), nullptr);
  EXPECT_NE(Error_LastText().find("Fatel Error: Can not create vertex buffer"), std::string::npos);
  EXPECT_TRUE(Error_Aborting());
  VertexBatch_Flush();
  EXPECT_EQ(device.DrawCallCount(), 0u);
  Error_ResetForTests();
  g_Run = RunGlobals();
  g_ShowErrors = true;
}

}  // namespace
