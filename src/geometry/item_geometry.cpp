#include "geometry/item_geometry.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>

#include "foundation/session_log.h"
#include "geometry/build_progress.h"
#include "geometry/cross_section.h"
#include "geometry/object_path_sets.h"
#include "geometry/path_set.h"
#include "geometry/path_set_join.h"
#include "geometry/path_set_mesh.h"
#include "geometry/path_set_overlap.h"
#include "geometry/scene_build_error.h"
#include "geometry/subdivision_settings.h"
#include "gfx/item_batching.h"
#include "gfx/scene_grid.h"
#include "mapengine/kernel_table.h"

namespace veskor {

namespace {

// The one mesh builder of the items; its blocks are given back after every item.
struct SharedMeshBuilder {
  ItemMeshBuilder builder;
  SharedMeshBuilder() { MeshBuilderInit(builder); }
  ~SharedMeshBuilder() { MeshBuilderRelease(builder); }
};
SharedMeshBuilder gMesh;

// The box of an empty item, (x min, x max, y min, y max, z min, z max).
constexpr float kEmptyItemBox = 1e35f;

bool IsObjectNode(const SceneNode& node) { return node.kind == kSceneNodeObject; }

// Composed nodes hold their children's entries and are never cut themselves.
void BuildNode(SceneNode& node) {
  if (IsObjectNode(node)) BuildSliceTable(&node);
}

PathSet& ObjectSetOfEntry(std::uint32_t entry) { return gObjectPathSets.sets[gPathSetRefs[entry]]; }

void SetBox(PathSet& p, const float* box) {
  p.minX = box[0], p.minY = box[1], p.minZ = box[2];
  p.maxX = box[3], p.maxY = box[4], p.maxZ = box[5];
}

// The item set of object set O: its rings of every kind but the left-out one, measured and
// normalised. Returns the number of rings.
std::uint32_t CopyRings(const PathSet& o, PathSet& p) {
  std::uint32_t n = 0;
  for (std::uint32_t i = 0; i < o.count; ++i)
    n += (SectionKind(o.paths[i]) & kSectionKindMask) != kSectionLeftOut;
  PathSetResize(p, n, 0);
  p.kind = o.kind;
  if (n == 0) return 0;
  SweepPath* target = PathSetAppendEmpty(p, n);
  for (std::uint32_t i = 0; i < o.count; ++i) {
    if ((SectionKind(o.paths[i]) & kSectionKindMask) != kSectionLeftOut)
      SweepPathAssign(*target++, o.paths[i]);
  }
  PathSetMeasure(p);
  PathSetNormalise(p);
  return n;
}

void ReportSkippedItem(std::uint32_t item, std::uint32_t vertices) {
  char text[96];
  std::snprintf(text, sizeof text, "\nGeometry Item %u Skipped : %u Vertices > 65536 !\n", item,
                vertices);
  LogWriteText(LogStream(), text);
}

void EmitLeaf(DrawItem& d) {
  SceneNode& a = *d.first;
  SceneInstance& record = *d.instance;
  BuildNode(a);
  if (SceneBuildFailed()) return;
  // The matrices are brought up to date once, so both copies below hold them.
  const bool moved = TransformNodeFlag(d.transform) == 0;
  if (moved) TransformNodeMatrix(d.transform);
  const float* matrix = moved ? d.transform.matrix : nullptr;

  a.triangleTotal = a.vertexTotal = 0;
  record.firstBatchItem = gBatchItemCount;
  record.batchItemCount = 0;
  record.firstItem = gItemCount;
  record.entryCount = a.refCount;
  a.transform = d.transform;
  record.transform = d.transform;
  float* box = record.grid.box;
  for (int k = 0; k < 6; ++k) box[k] = (k & 1) ? -kEmptyItemBox : kEmptyItemBox;

  ItemMeshBuilder& mesh = gMesh.builder;
  const KernelTable& kt = gKernelTable;
  for (std::uint32_t k = a.firstRef; k < a.firstRef + a.refCount; ++k) {
    if (gItemCount >= kItemMax) return SceneBuildFail(kTooManyItemsMessage);
    const std::uint32_t item = gItemCount;
    PathSet& o = ObjectSetOfEntry(k);
    PathSet& p = gItemPathSets.sets[item];
    const std::uint32_t rings = CopyRings(o, p);
    gItemTargets[item] = &record;
    PathSetFree(o);  // an object's sets serve the first leaf that reaches them

    if (rings == 0) {  // no stale box of an earlier item may widen this one
      const float empty[6] = {kEmptyItemBox,  kEmptyItemBox,  kEmptyItemBox,
                              -kEmptyItemBox, -kEmptyItemBox, -kEmptyItemBox};
      SetBox(p, empty);
    } else if (matrix != nullptr) {
      float moved6[6];
      TransformBox(matrix, p.minX, p.minY, p.minZ, p.maxX, p.maxY, p.maxZ, moved6);
      SetBox(p, moved6);
    }
    const SubdivisionSettings& settings =
        p.kind == kPathSetOpen ? gTerrainGeometryLod : gObjectGeometryLod;
    PathSetBuildMesh(p, settings.range, mesh);
    const float lo[3] = {p.minX, p.minY, p.minZ}, hi[3] = {p.maxX, p.maxY, p.maxZ};
    for (int axis = 0; axis < 3; ++axis) {
      box[2 * axis] = kt.KernelMin(box[2 * axis], lo[axis]);
      box[2 * axis + 1] = kt.KernelMax(box[2 * axis + 1], hi[axis]);
    }
    a.triangleTotal += mesh.triangleCount;
    a.vertexTotal += mesh.vertexCount;
    gGeneratedTriangleTotal += mesh.triangleCount;
    gGeneratedVertexTotal += mesh.vertexCount;

    // Items with normals take format 2; the record starts empty, so a mesh too large to batch
    // leaves no ranges of an earlier session behind.
    ItemDrawRecord& batch = gBatchItemRecords[gBatchItemCount];
    batch = ItemDrawRecord{};
    const std::uint32_t format = (record.flags & 4) != 0 ? 2 : 4;
    const std::uint32_t batched =
        BatchAppendItem(gGeometryBatchBuffer, mesh, format, batch, matrix);
    if (batched == kBatchItemNoRoom) {
      MeshBuilderRelease(mesh);
      return SceneBuildFail(kGeometryBufferFullMessage);
    }
    if (batched == 0) {
      ReportSkippedItem(item, mesh.vertexCount);
      SceneBuildSkipItem(mesh.vertexCount);
    }
    ++record.batchItemCount;

    ItemNormalCone(mesh, matrix, record.meanNormal, &record.coneAngle);
    gItemBatchIndex[item] = gBatchItemCount;
    ++gItemCount;
    ++gBatchItemCount;
    MeshBuilderRelease(mesh);
  }
  ReleaseObjectPathSets(&a);
}

// "+" (kind 1) lists A's entries then B's and hides what of each lies inside the other; "-"
// (kind 2) lists A's entries, cut by B's, and releases B.
void Compose(DrawItem& d, bool difference) {
  SceneNode& a = *d.first;
  SceneNode& b = *d.second;
  SceneNode& r = *d.result;
  BuildNode(a);
  BuildNode(b);
  if (SceneBuildFailed()) return;
  r.useCount = r.registered = r.objectIndex = 0;
  r.spare[0] = r.spare[1] = 0;
  r.triangleTotal = r.vertexTotal = 0;
  TransformNodeInit(r.transform);
  r.kind = kSceneNodeComposed;
  r.firstRef = PathSetRefCount();
  r.refCount = difference ? a.refCount : a.refCount + b.refCount;
  for (std::uint32_t i = a.firstRef; i < a.firstRef + a.refCount; ++i) {
    gPathSetRefs.Append(gPathSetRefs[i]);
    for (std::uint32_t j = b.firstRef; j < b.firstRef + b.refCount; ++j) {
      if (difference)
        PathSetJoin(ObjectSetOfEntry(i), ObjectSetOfEntry(j));
      else
        PathSetOverlap(ObjectSetOfEntry(i), ObjectSetOfEntry(j));
    }
  }
  if (difference) return ReleaseObjectPathSets(&b);
  for (std::uint32_t j = b.firstRef; j < b.firstRef + b.refCount; ++j)
    gPathSetRefs.Append(gPathSetRefs[j]);
}

}  // namespace

void ItemNormalCone(const MeshBuilder& mesh, const float* matrix, float* mean, float* angle) {
  const KernelTable& kt = gKernelTable;
  // The unit normal of triangle t, or false for a triangle without area.
  const auto normal = [&](std::uint32_t t, float* n) {
    float c[3][3];
    for (int v = 0; v < 3; ++v) {
      const float* p = mesh.positions + 3 * std::size_t{mesh.indices[3 * std::size_t{t} + v]};
      if (matrix != nullptr)
        kt.KernelTransformPoint(c[v], matrix, p);
      else
        c[v][0] = p[0], c[v][1] = p[1], c[v][2] = p[2];
    }
    const float u[3] = {c[2][0] - c[0][0], c[2][1] - c[0][1], c[2][2] - c[0][2]};
    const float w[3] = {c[1][0] - c[0][0], c[1][1] - c[0][1], c[1][2] - c[0][2]};
    n[0] = u[1] * w[2] - u[2] * w[1];
    n[1] = u[2] * w[0] - u[0] * w[2];
    n[2] = u[0] * w[1] - u[1] * w[0];
    if (!(n[0] * n[0] + n[1] * n[1] + n[2] * n[2] >= std::numeric_limits<float>::min()))
      return false;
    kt.KernelNormalize3(n);
    return true;
  };
  // The sum of the unit normals, in double so that adding them rounds nothing that matters.
  // Each normal's length is off by up to kUnitLengthError (the SSE members' root estimate) and
  // its direction by a few float roundings: a sum no longer than that error of every normal is
  // noise around zero (a closed box's, say), and has no direction.
  double sum[3] = {0, 0, 0};
  float n[3];
  std::uint32_t count = 0;
  for (std::uint32_t t = 0; t < mesh.triangleCount; ++t) {
    if (!normal(t, n)) continue;
    for (int a = 0; a < 3; ++a) sum[a] += n[a];
    ++count;
  }
  const double noise = count * (kUnitLengthError + 8 * double{FLT_EPSILON});
  for (int a = 0; a < 3; ++a) mean[a] = 0;
  float best = 0;
  if (sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2] > noise * noise) {
    for (int a = 0; a < 3; ++a) mean[a] = static_cast<float>(sum[a]);
    kt.KernelNormalize3(mean);
    for (std::uint32_t t = 0; t < mesh.triangleCount; ++t) {
      if (normal(t, n)) best = std::max(best, n[0] * mean[0] + n[1] * mean[1] + n[2] * mean[2]);
    }
  }
  *angle = std::acos(std::min(best, 1.0f));
}

void GenerateItemGeometry(DrawItem& item) {
  if (SceneBuildFailed() || item.first == nullptr) return;
  switch (item.kind) {
    case kDrawItemAdd:
    case kDrawItemSub:
      if (item.second != nullptr && item.result != nullptr)
        Compose(item, item.kind == kDrawItemSub);
      break;
    case kDrawItemLeaf:
      if (item.instance != nullptr) EmitLeaf(item);
      break;
    default: break;
  }
}

std::uint32_t GenerateGeometry() {
  ObjectPathSetsReset();
  BuildProgress& progress = gBuildProgress;
  for (std::uint32_t i = 0; i < gDrawItems.count; ++i) {
    if (SceneBuildFailed()) return 0;
    DrawItem& d = gDrawItems.items[i];
    GenerateItemGeometry(d);
    if (d.kind == kDrawItemLeaf && d.instance != nullptr && !SceneBuildFailed()) {
      SceneGridItem& g = d.instance->grid;
      const float* b = g.box;
      if (SceneGridRegister(gSceneGrid, &g, b[0], b[2], b[4], b[1], b[3], b[5]) == 0)
        SceneBuildFail(kSceneGridFullMessage);
      SceneBoxWiden(b);
    }
    progress.fraction += progress.step;
    if (i % 16 == 0 && ReportBuildProgress(kGenerateStageLabel) == 0) return 0;
  }
  return SceneBuildFailed() ? 0 : 1;
}

}  // namespace veskor
