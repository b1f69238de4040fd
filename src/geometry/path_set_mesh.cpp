#include "geometry/path_set_mesh.h"

#include <algorithm>
#include <cstring>

#include "geometry/cross_section.h"
#include "geometry/scratch_array.h"
#include "mapengine/kernel_table.h"

namespace veskor {

namespace {

// The two strip parameter tables: the current one receives the parameter of every strip
// triangle's advancing vertex; they swap roles at the end of each strip.
struct StripTables {
  ScratchArray<float> table[2];
  std::uint32_t current = 0;
  ScratchArray<float>& Current() { return table[current]; }
  ScratchArray<float>& Other() { return table[current ^ 1]; }
  void Swap() { current ^= 1; }
};
StripTables gStrips;

struct Triple {
  std::uint32_t v[3];
};
ScratchArray<Triple> gMergeBuffer;

Triple TriangleAt(const ItemMeshBuilder& b, std::uint32_t t) {
  Triple x;
  std::memcpy(x.v, b.indices + 3 * std::size_t{t}, sizeof x.v);
  return x;
}

// One entry of a border list of an open sheet: a vertex and its ring's height.
struct BorderEntry {
  std::uint32_t vertex;
  float height;
};
// Outer left column, the column next to it, the column next to the right one, the outer right.
ScratchArray<BorderEntry> gBorders[4];

bool Visible(const SweepPath& s, std::uint32_t i) { return SweepPathPointVisible(s, i % s.count); }

void ZipClosed(ItemMeshBuilder& b, const LodRange& range, const SweepPath& ra, const SweepPath& rb,
               std::uint32_t prevFirst, std::uint32_t newFirst) {
  const KernelTable& kt = gKernelTable;
  ScratchArray<float>& table = gStrips.Current();
  const std::uint32_t na = ra.count, nb = rb.count;
  std::uint32_t a = 0, c = 0;  // the cursors on A and B
  float midA = SweepPathParamOfIndex(ra, 1) / 2, midB = SweepPathParamOfIndex(rb, 1) / 2;
  while (a < na || c < nb) {
    const float m = kt.KernelMin(midA, midB);
    if (a < na && m + kSectionTolerance >= midA) {
      if (Visible(ra, a) || Visible(rb, c) || Visible(ra, a + 1)) {
        MeshAddStripTriangle(b, range, prevFirst + a, newFirst + c, prevFirst + a + 1);
        table.Append(SweepPathParamOfIndex(ra, a + 1));
      }
      ++a;
      midA = (SweepPathParamOfIndex(ra, a) + SweepPathParamOfIndex(ra, a + 1)) / 2;
    } else if (c < nb && m + kSectionTolerance >= midB) {
      if (Visible(ra, a) || Visible(rb, c) || Visible(rb, c + 1)) {
        MeshAddStripTriangle(b, range, newFirst + c + 1, prevFirst + a, newFirst + c);
        table.Append(SweepPathParamOfIndex(rb, c + 1));
      }
      ++c;
      midB = (SweepPathParamOfIndex(rb, c) + SweepPathParamOfIndex(rb, c + 1)) / 2;
    } else {
      break;  // parameters that do not rise: neither cursor can go on
    }
  }
}

// Vertex of point k (1 <= k <= n - 2) of an open ring whose point 1 is vertex `first`; rings of
// three points have one vertex, which stands for every column.
std::uint32_t OpenVertex(std::uint32_t first, std::uint32_t n, std::uint32_t k) {
  return first + std::min(k - 1, n - 3);
}

// Points 1 to n - 2 of an open ring at its height, point 1 becoming ringFirstVertex; rings of
// fewer than three points have no vertex.
void AddOpenRing(ItemMeshBuilder& b, const SweepPath& ring) {
  const std::uint32_t n = ring.count;
  if (n < 3) return;
  const float v = ProfileV(ring);
  b.ringFirstVertex = MeshAddVertex(b, ring.x[1], ring.y[1], ring.height);
  MeshAddAttrib(b, 0, v, 0, 1);
  for (std::uint32_t k = 2; k <= n - 2; ++k) {
    MeshAddVertex(b, ring.x[k], ring.y[k], ring.height);
    MeshAddAttrib(b, HalfToFloat(ring.packedT[k]), v, 0, 1);
  }
}

// Joins columns 2 to n - 3 of two open rings (the seams close the outer columns).
void ZipOpen(ItemMeshBuilder& b, const LodRange& range, const SweepPath& ra, const SweepPath& rb,
             std::uint32_t prevFirst, std::uint32_t newFirst) {
  if (ra.count < 4 || rb.count < 4) return;
  const KernelTable& kt = gKernelTable;
  ScratchArray<float>& table = gStrips.Current();
  const std::uint32_t endA = ra.count - 3, endB = rb.count - 3;
  const auto mid = [](const SweepPath& s, std::uint32_t i, std::uint32_t end) {
    return i >= end ? 1.0f : (SweepPathParamOfIndex(s, i) + SweepPathParamOfIndex(s, i + 1)) / 2;
  };
  const auto va = [&](std::uint32_t i) { return prevFirst + i - 1; };
  const auto vb = [&](std::uint32_t i) { return newFirst + i - 1; };
  std::uint32_t a = 2, c = 2;
  float midA = mid(ra, a, endA), midB = mid(rb, c, endB);
  while (a < endA || c < endB) {
    const float m = kt.KernelMin(midA, midB);
    if (a < endA && m + kSectionTolerance >= midA) {
      if (Visible(ra, a) || Visible(rb, c) || Visible(ra, a + 1)) {
        MeshAddStripTriangle(b, range, va(a), vb(c), va(a + 1));
        table.Append(SweepPathParamOfIndex(ra, a + 1));
      }
      midA = mid(ra, ++a, endA);
    } else if (c < endB && m + kSectionTolerance >= midB) {
      if (Visible(ra, a) || Visible(rb, c) || Visible(rb, c + 1)) {
        MeshAddStripTriangle(b, range, vb(c + 1), va(a), vb(c));
        table.Append(SweepPathParamOfIndex(rb, c + 1));
      }
      midB = mid(rb, ++c, endB);
    } else {
      break;
    }
  }
}

// Zips a first and a second border list into one seam, whatever the visibility.
void ZipSeam(ItemMeshBuilder& b, const ScratchArray<BorderEntry>& f,
             const ScratchArray<BorderEntry>& s) {
  const std::uint32_t nf = f.size(), ns = s.size();
  if (nf < 2 || ns < 2) return;  // one column entry makes no seam
  const KernelTable& kt = gKernelTable;
  const auto mid = [](const ScratchArray<BorderEntry>& l, std::uint32_t i) {
    return i + 1 == l.size() ? l[i].height : (l[i].height + l[i + 1].height) / 2;
  };
  std::uint32_t i = 0, j = 0;
  float midF = mid(f, 0), midS = mid(s, 0);
  while (i < nf - 1 || j < ns - 1) {
    const float m = kt.KernelMin(midF, midS);
    if (i < nf - 1 && m + kSectionTolerance >= midF) {
      MeshAddTriangle(b, f[i].vertex, f[i + 1].vertex, s[j].vertex);
      midF = mid(f, ++i);
    } else if (j < ns - 1 && m + kSectionTolerance >= midS) {
      MeshAddTriangle(b, s[j].vertex, f[i].vertex, s[j + 1].vertex);
      midS = mid(s, ++j);
    } else {
      break;
    }
  }
}

// Adds strip k of a run of strips and reorders it with the one before when k is the second of
// a pair; `pairStart` keeps the first triangle of the pending pair.
template <class AddStrip>
void StripOfPair(ItemMeshBuilder& b, std::uint32_t k, std::uint32_t& pairStart,
                 std::uint32_t& middle, AddStrip add) {
  if (k % 2 == 1) {
    pairStart = b.triangleCount;
    add();
    middle = b.triangleCount;
  } else {
    add();
    MeshInterleaveStrips(b, pairStart, middle, middle, b.triangleCount);
  }
}

void BuildClosed(const PathSet& set, const LodRange& range, ItemMeshBuilder& b) {
  const std::uint32_t n = set.count;
  const SweepPath& r0 = set.paths[0];
  const SweepPath& last = set.paths[n - 1];
  const auto apex = [](const SweepPath& r) {
    return r.count > 0 && r.totalLength < kApexRingLength;
  };
  std::uint32_t first = 0, end = n;  // the side rings [first, end)
  float x, y, h;
  if (apex(r0)) {
    if (n > 1) MeshAddCapBottom(b, r0.x[0], r0.y[0], r0.height, set.paths[1], Visible(r0, 0));
    first = 1;
  } else if ((SectionKind(r0) & kSectionKindMask) == kSectionCappedBottom) {
    SweepPathCentroid(r0, &x, &y, &h);
    MeshAddCapBottom(b, x, y, h, r0, 1);
  }
  b.capTriangleA = b.capVertexA = 0;
  if (apex(last)) {
    if (n > 1)
      MeshAddCapTop(b, set.paths[n - 2], last.x[0], last.y[0], last.height, Visible(last, 0));
    end = n - 1;
  } else if ((SectionKind(last) & kSectionKindMask) == kSectionCappedTop) {
    SweepPathCentroid(last, &x, &y, &h);
    MeshAddCapTop(b, last, x, y, h, 1);
  }
  if (n < 2 || end < first + 2) return;
  MeshAddRing(b, set.paths[first]);
  std::uint32_t pairStart = 0, middle = 0;
  for (std::uint32_t r = first + 1; r < end; ++r) {
    const std::uint32_t k = r - first;
    const bool paired = k % 2 == 0 || r + 1 < end;
    const auto add = [&] { MeshAddStrip(b, range, set.paths[r - 1], set.paths[r]); };
    if (paired) {
      StripOfPair(b, k, pairStart, middle, add);
    } else {
      add();  // the last strip of an odd count stays as it is
    }
  }
}

// Adds an open ring and its border entries: the outer columns only for `left` and `right`.
void AddOpenRingWithBorders(ItemMeshBuilder& b, const SweepPath& ring, bool left, bool right) {
  const std::uint32_t n = ring.count;
  const std::uint32_t first = b.vertexCount;
  AddOpenRing(b, ring);
  if (n < 3) return;
  const float h = ring.height;
  if (left) gBorders[0].Append({first, h});
  gBorders[1].Append({OpenVertex(first, n, 2), h});
  gBorders[2].Append({OpenVertex(first, n, n - 3 > 0 ? n - 3 : 1), h});
  if (right) gBorders[3].Append({OpenVertex(first, n, n - 2), h});
}

void BuildOpen(const PathSet& set, const LodRange& range, ItemMeshBuilder& b) {
  const std::uint32_t n = set.count;
  if (n < 2) return;
  for (ScratchArray<BorderEntry>& list : gBorders) list.Reserve(n);
  b.capTriangleB = b.triangleCount;
  b.capVertexB = b.vertexCount;
  AddOpenRingWithBorders(b, set.paths[0], true, true);
  std::uint32_t pairStart = 0, middle = 0;
  for (std::uint32_t r = 1; r < n; ++r) {
    const SweepPath& ring = set.paths[r];
    const auto add = [&] {
      gStrips.Current().Clear();
      const std::uint32_t prevFirst = b.ringFirstVertex, newFirst = b.vertexCount;
      AddOpenRingWithBorders(b, ring, (SectionKind(ring) & kSectionLeftSeam) != 0,
                             (SectionKind(ring) & kSectionRightSeam) != 0);
      ZipOpen(b, range, set.paths[r - 1], ring, prevFirst, newFirst);
      gStrips.Swap();
    };
    if (r % 2 == 0 || r + 1 < n) {
      StripOfPair(b, r, pairStart, middle, add);
    } else {
      add();
    }
  }
  ZipSeam(b, gBorders[0], gBorders[1]);
  ZipSeam(b, gBorders[2], gBorders[3]);
}

// Per triangle: the lowest vertex of it and every later one, the highest of it and every
// earlier one.
void FillTriangleRanges(ItemMeshBuilder& b) {
  const std::uint32_t n = b.triangleCount;
  if (n == 0) return;
  auto* r = static_cast<std::uint32_t*>(
      MeshWorkAppend(b.arrays.array4, n * 2 * static_cast<std::uint32_t>(sizeof(std::uint32_t))));
  const std::uint32_t* t = b.indices;
  std::uint32_t lo = b.vertexCount - 1;
  for (std::uint32_t k = n; k-- > 0;) {
    lo = std::min({lo, t[3 * k], t[3 * k + 1], t[3 * k + 2]});
    r[2 * k] = lo;
  }
  std::uint32_t hi = 0;
  for (std::uint32_t k = 0; k < n; ++k) {
    hi = std::max({hi, t[3 * k], t[3 * k + 1], t[3 * k + 2]});
    r[2 * k + 1] = hi;
  }
}

}  // namespace

void MeshAddStrip(ItemMeshBuilder& builder, const LodRange& range, const SweepPath& a,
                  const SweepPath& b) {
  gStrips.Current().Clear();
  const std::uint32_t prevFirst = builder.ringFirstVertex;
  const std::uint32_t newFirst = builder.vertexCount;
  MeshAddRingVertices(builder, b);
  if (a.count > 0 && b.count > 0) ZipClosed(builder, range, a, b, prevFirst, newFirst);
  gStrips.Swap();
}

void MeshInterleaveStrips(ItemMeshBuilder& builder, std::uint32_t a0, std::uint32_t a1,
                          std::uint32_t b0, std::uint32_t b1) {
  if (a0 >= a1 || b0 >= b1) return;
  const ScratchArray<float>& p0 = gStrips.Current();
  const ScratchArray<float>& p1 = gStrips.Other();
  const std::uint32_t n0 = a1 - a0, n1 = b1 - b0;
  if (p0.size() != n0 || p1.size() != n1 || b1 > builder.triangleCount) return;
  gMergeBuffer.Reserve(n0 + n1);
  gMergeBuffer.Append(TriangleAt(builder, a0));
  std::uint32_t next[2] = {1, 0};
  const std::uint32_t first[2] = {a0, b0}, count[2] = {n0, n1};
  const ScratchArray<float>* params[2] = {&p0, &p1};
  float f = p0[0];
  std::uint32_t side = 1;
  while (next[0] < n0 && next[1] < n1) {
    std::uint32_t& k = next[side];
    const ScratchArray<float>& p = *params[side];
    while (k < count[side] && p[k] < f + kSectionTolerance)
      gMergeBuffer.Append(TriangleAt(builder, first[side] + k++));
    f = k < count[side] ? p[k] : 1.0f;
    side ^= 1;
  }
  // One strip is done: the other follows whole (its parameters lie beyond the last one taken).
  for (std::uint32_t s = 0; s < 2; ++s) {
    while (next[s] < count[s]) gMergeBuffer.Append(TriangleAt(builder, first[s] + next[s]++));
  }
  std::uint32_t* out = MeshWorkData<std::uint32_t>(builder.arrays.array3) + 3 * std::size_t{a0};
  for (std::uint32_t k = 0; k < n0 + n1; ++k)
    std::memcpy(out + 3 * k, gMergeBuffer[k].v, sizeof(Triple));
}

void PathSetBuildMesh(const PathSet& set, const LodRange& range, ItemMeshBuilder& builder) {
  std::uint64_t m = 0;
  std::uint32_t widest = 0;
  const bool closed = set.kind == kPathSetClosed;
  for (std::uint32_t r = 0; r < set.count; ++r) {
    const std::int64_t n = set.paths[r].count;
    m += static_cast<std::uint64_t>(std::max<std::int64_t>(closed ? 4 * n : 4 * n - 8, 0));
    widest = std::max(widest, set.paths[r].count);
  }
  MeshBuilderReset(builder, 4 * m, closed ? 16 * m : 8 * m);
  if (set.count == 0) return;
  for (ScratchArray<float>& t : gStrips.table) t.Reserve(2 * widest + 2);
  gStrips.current = 0;
  if (closed) {
    BuildClosed(set, range, builder);
  } else {
    BuildOpen(set, range, builder);
  }
  FillTriangleRanges(builder);
}

}  // namespace veskor
