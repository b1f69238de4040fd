#include "meshlib/render_mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "gfx/gl_capabilities.h"
#include "meshlib/render_arrays.h"
#include "network_test_support.h"

namespace veskor {
namespace {

using test::BuildCube;
using test::BuildPillow;
using test::BuildStrip;
using test::Prepare;

// Without extensions: plain arrays, and no GL call is made by building or releasing.
class RenderMeshTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ExtensionMask = 0;
    ArrayMode = -1;
    MeshTableInit();
  }
};

const RenderVertex& VertexOf(const RenderMesh& m, std::uint32_t i) {
  return static_cast<const RenderVertex*>(m.vertices.elements)[i];
}

std::uint32_t IndexOf(const RenderMesh& m, std::uint32_t i) {
  return m.shortIndices ? m.indices16[i] : m.indices32[i];
}

TEST_F(RenderMeshTest, BuildRegistersTheMeshWithItsGroupRanges) {
  MeshNetwork n;
  BuildCube(n);
  Prepare(n);
  RenderMesh mesh;
  mesh.BuildRenderMesh(n);
  EXPECT_EQ(ArrayMode, 0);
  EXPECT_EQ(mesh.vertices.count, 8u * 8);
  EXPECT_EQ(mesh.triangleCount, 12u);
  EXPECT_EQ(mesh.indices.count, 36u);
  EXPECT_TRUE(mesh.shortIndices == 1 && mesh.indices16 != nullptr && mesh.indices32 == nullptr);
  ASSERT_EQ(mesh.GroupCount(), 1u);
  const MeshGroupRange& g = mesh.Group(0);
  EXPECT_TRUE(g.firstTriangle == 0 && g.endTriangle == 12 && g.firstVertex == 0 &&
              g.endVertex == 8);
  EXPECT_TRUE(n.groups[0].vertexBase == 0 && n.groups[0].reserved == 8);
  EXPECT_EQ(mesh.tableIndex, 0);
  EXPECT_TRUE(MeshTable.meshCount == 1 && MeshTable.meshes[0] == &mesh && MeshTable.dirty == 1);

  // A closed surface has more render vertices than faces: 130 for the 128 faces of the
  // pillow, whose face count alone would give a block too small by two vertices.
  BuildPillow(n, 8, 8);
  mesh.BuildRenderMesh(n);
  EXPECT_EQ(mesh.vertices.count, 130u * 8);
  EXPECT_EQ(mesh.triangleCount, 256u);
  EXPECT_EQ(mesh.tableIndex, 0);

  // Render vertices no triangle uses stay behind: a pentagon's five.
  n.AllocateNetwork(9, 9, 2, 1);
  n.AddNetworkGroup();
  test::AddFace(n, {{0, 0, 0, 0, 0}, {0, 1, 0, 0, 1}, {1, 1, 0, 1, 1}, {1, 0, 0, 1, 0}});
  test::AddFace(
      n, {{5, 0, 0, 0, 0}, {5, 1, 0, 0, 0}, {6, 2, 0, 0, 0}, {7, 1, 0, 0, 0}, {7, 0, 0, 0, 0}});
  Prepare(n);
  mesh.BuildRenderMesh(n);
  EXPECT_TRUE(mesh.vertices.count == 4 * 8 && mesh.triangleCount == 2);

  mesh.ReleaseRenderMesh();
  EXPECT_TRUE(mesh.vertices.count == 0 && mesh.indices.elements == nullptr &&
              mesh.GroupCount() == 0 && mesh.triangleCount == 0 && mesh.shortIndices == 1);
  EXPECT_TRUE(mesh.tableIndex == -1 && MeshTable.meshCount == 0);
}

TEST_F(RenderMeshTest, IndicesNarrowWhenEveryGroupSpansFewerThan65536Vertices) {
  const struct {
    bool tail;
    std::uint32_t split;
    std::uint32_t shortIndices;
  } cases[] = {// One group of 65536 vertices stays wide, as 65537 do; the tail on its own narrows.
               {false, 1u << 20, 1},
               {true, 1u << 20, 0},
               {true, 16384, 1},
               {true, 32767, 0}};
  for (const auto& c : cases) {
    MeshNetwork n;
    BuildStrip(n, 32767, c.split, c.tail);
    RenderMesh mesh;
    mesh.BuildRenderMesh(n);
    EXPECT_EQ(mesh.vertices.count, (c.tail ? 65537u : 65536u) * 8);
    EXPECT_EQ(mesh.shortIndices, c.shortIndices);
    EXPECT_EQ(mesh.indices16 != nullptr, c.shortIndices == 1);
    EXPECT_EQ(mesh.indices32 != nullptr, c.shortIndices == 0);
    EXPECT_EQ(mesh.indices.block.usedBytes, mesh.triangleCount * 3 * (c.shortIndices ? 2 : 4));
    // Each group's indices, taken from its first vertex, name the corners of one face.
    std::uint32_t triangles = 0;
    for (std::uint32_t g = 0; g < mesh.GroupCount(); ++g) {
      const MeshGroupRange& r = mesh.Group(g);
      EXPECT_EQ(r.firstTriangle, triangles);
      triangles = r.endTriangle;
      EXPECT_EQ(n.groups[g].vertexBase, r.firstVertex);
      for (std::uint32_t t = r.firstTriangle; t < r.endTriangle; ++t) {
        float low = 1e9f, high = -1e9f;
        for (std::uint32_t k = 0; k < 3; ++k) {
          const std::uint32_t i = IndexOf(mesh, 3 * t + k);
          ASSERT_LT(i, r.endVertex - r.firstVertex);
          low = std::fmin(low, VertexOf(mesh, r.firstVertex + i).x);
          high = std::fmax(high, VertexOf(mesh, r.firstVertex + i).x);
        }
        ASSERT_TRUE(high - low == 1 && (g == 1 || high <= float(c.split))) << t;
      }
    }
    EXPECT_EQ(triangles, mesh.triangleCount);
  }
}

TEST_F(RenderMeshTest, ReleasedSlotsAreReusedAndTheLastLowersTheCount) {
  MeshNetwork n;
  BuildCube(n);
  Prepare(n);
  RenderMesh a, b, c, e;
  for (RenderMesh* m : {&a, &b, &c}) m->BuildRenderMesh(n);
  EXPECT_TRUE(a.tableIndex == 0 && b.tableIndex == 1 && c.tableIndex == 2);
  MeshTable.dirty = 0;
  b.ReleaseRenderMesh();
  EXPECT_TRUE(MeshTable.meshCount == 3 && MeshTable.freeCount == 1 &&
              MeshTable.meshes[1] == nullptr && MeshTable.dirty == 1);
  c.ReleaseRenderMesh();
  EXPECT_TRUE(MeshTable.meshCount == 2 && MeshTable.freeCount == 1);
  {
    RenderMesh d;
    d.BuildRenderMesh(n);
    EXPECT_TRUE(d.tableIndex == 1 && MeshTable.freeCount == 0);
    e.BuildRenderMesh(n);
    EXPECT_TRUE(e.tableIndex == 2 && MeshTable.meshCount == 3);
    a.BuildRenderMesh(n);  // a rebuild releases first and takes its slot back
    EXPECT_TRUE(a.tableIndex == 0 && MeshTable.freeCount == 0);
  }  // d unregisters as it goes
  EXPECT_TRUE(MeshTable.meshes[1] == nullptr && MeshTable.freeCount == 1);

  // Emptying the table detaches its meshes: releasing one later leaves the new ones alone.
  ReleaseAllMeshBuffers();
  EXPECT_TRUE(a.tableIndex == -1 && e.tableIndex == -1 && MeshTable.meshCount == 0 &&
              MeshTable.freeCount == 0 && MeshTable.dirty == 1);
  RenderMesh f;
  MeshTableAdd(f);
  a.ReleaseRenderMesh();
  EXPECT_TRUE(f.tableIndex == 0 && MeshTable.meshes[0] == &f && MeshTable.meshCount == 1);

  // 32768 slots: one mesh more stays unregistered (and draws from its own arrays).
  MeshTableInit();
  std::vector<RenderMesh> many(kMeshTableSlots + 1);
  for (RenderMesh& m : many) MeshTableAdd(m);
  EXPECT_EQ(many[kMeshTableSlots - 1].tableIndex, std::int32_t(kMeshTableSlots - 1));
  EXPECT_EQ(many[kMeshTableSlots].tableIndex, -1);
  EXPECT_EQ(MeshTable.meshCount, kMeshTableSlots);
}

}  // namespace
}  // namespace veskor
