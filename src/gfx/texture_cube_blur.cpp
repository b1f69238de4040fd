#include "gfx/texture_cube_blur.h"

#include <array>

#include "foundation/mem_block.h"
#include "mapengine/kernel_table.h"

namespace veskor {

namespace {

struct Walk {
  bool startRight;  // starts in column N-1, else column 0
  bool startBottom;  // starts in row N-1, else row 0
  int dx;
  int dy;
};

constexpr Walk kWalks[kCubeEdgeWalks] = {
    {false, false, 1, 0},  {false, false, 0, 1}, {false, true, 1, 0},  {true, false, 0, 1},
    {true, false, -1, 0},  {false, true, 0, -1}, {true, true, -1, 0},  {true, true, 0, -1},
};

// A corner of a face: bit 0 set for column N-1, bit 1 for row N-1.
constexpr int WalkCorner(int walk, bool end) {
  const Walk& w = kWalks[walk];
  int x = w.startRight ? 1 : 0;
  int y = w.startBottom ? 1 : 0;
  if (end) {
    x += w.dx;
    y += w.dy;
  }
  return x | (y << 1);
}

struct FaceCorner {
  std::uint8_t face;
  std::uint8_t corner;
};

// The eight corners of the cube, each the three face corners that meet there, found by
// joining the face corners at both ends of every edge.
using CubeCorners = std::array<std::array<FaceCorner, 3>, 8>;

constexpr CubeCorners MakeCubeCorners() {
  int group[24] = {};
  for (int i = 0; i < 24; ++i) group[i] = i;
  auto root = [&group](int i) {
    while (group[i] != i) i = group[i];
    return i;
  };
  for (const CubeEdge& e : CubeEdgeTable)
    for (const bool end : {false, true}) {
      const int a = root(e.faceA * 4 + WalkCorner(e.walkA, end));
      const int b = root(e.faceB * 4 + WalkCorner(e.walkB, end));
      if (a != b) group[a] = b;
    }
  CubeCorners corners{};
  int counts[8] = {};
  int roots[8] = {};
  int found = 0;
  for (int i = 0; i < 24; ++i) {
    const int r = root(i);
    int c = 0;
    while (c < found && roots[c] != r) ++c;
    if (c == found) {
      if (found == 8) throw "more than eight cube corners";
      roots[found++] = r;
    }
    if (counts[c] == 3) throw "a cube corner of more than three faces";
    corners[c][counts[c]++] = {static_cast<std::uint8_t>(i / 4), static_cast<std::uint8_t>(i % 4)};
  }
  for (int c = 0; c < 8; ++c) {
    if (counts[c] != 3) throw "a cube corner of fewer than three faces";
    const auto& f = corners[c];
    if (f[0].face == f[1].face || f[0].face == f[2].face || f[1].face == f[2].face)
      throw "a cube corner with a face twice";
  }
  return corners;
}

constexpr CubeCorners kCubeCorners = MakeCubeCorners();

std::uint32_t WalkStart(std::uint32_t walk, std::uint32_t log2Size) {
  const std::uint32_t last = (std::uint32_t{1} << log2Size) - 1;
  const Walk& w = kWalks[walk];
  return (w.startBottom ? last << log2Size : 0) + (w.startRight ? last : 0);
}

std::int32_t WalkStep(std::uint32_t walk, std::uint32_t log2Size) {
  const Walk& w = kWalks[walk];
  return w.dy * (std::int32_t{1} << log2Size) + w.dx;
}

// Size and channels of the cube's faces; false when it holds no pixels.
bool FaceShape(const TextureCube& cube, std::uint8_t& log2Size, std::uint8_t& channels) {
  for (const TexturePixels& face : cube.faces)
    if (face.data == nullptr) return false;
  log2Size = static_cast<std::uint8_t>(cube.faces[0].log2Width);
  channels = static_cast<std::uint8_t>(cube.faces[0].channels);
  return true;
}

float* FaceTexels(TexturePixels& p) { return static_cast<float*>(p.data); }

}  // namespace

std::uint32_t CubeWalkTexel(std::uint32_t walk, std::uint32_t log2Size, std::uint32_t k) {
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(WalkStart(walk, log2Size)) +
                                    std::int64_t{k} * WalkStep(walk, log2Size));
}

void TextureCubeBlurToLevel(TextureCube& cube, float level) {
  std::uint8_t s = 0;
  std::uint8_t ch = 0;
  if (!FaceShape(cube, s, ch)) return;
  // A level at or above the size (or not a number) blurs nothing; below -64 blurs as much
  // as -64, which already halves every face down to one texel.
  if (!(level < static_cast<float>(s))) return;
  if (level < -64.0f) level = -64.0f;
  const int whole = static_cast<int>(level);  // toward zero
  const int r = level - static_cast<float>(whole) > 0.5f ? whole + 1 : whole;
  const int n = s - r;
  if (n <= 0) return;
  int halvings = n / 2 - 1;
  if (halvings < 0) halvings = 0;
  for (int i = 0; i < halvings; ++i) {
    TextureCubeHalve(cube);
    TextureCubeJoinEdges(cube);
  }
  for (int i = 0; i < 2 * (n - halvings); ++i) TextureCubeSmoothPass(cube);
}

void TextureCubeHalve(TextureCube& cube) {
  std::uint8_t s = 0;
  std::uint8_t ch = 0;
  if (!FaceShape(cube, s, ch) || s == 0) return;
  const std::uint8_t half = static_cast<std::uint8_t>(s - 1);
  const std::uint32_t workBytes = (std::uint32_t{ch} * sizeof(float)) << (2 * half);
  MemBlock work{};
  MemBlockReserve(work, workBytes);
  auto* halved = static_cast<float*>(MemBlockAppend(work, workBytes));
  // The faces change size under their counted upload: count the next one afresh.
  TextureCubeRecount(cube);
  for (TexturePixels& face : cube.faces) {
    gKernelTable.MapDownsample(ch, s, s, 1, 1, FaceTexels(face), halved);
    TexturePixelsResizeFloat(face, ch, half, half);
    gKernelTable.MapCopy(ch, half, half, halved, FaceTexels(face));
  }
  cube.state.dirty = 1;
  MemBlockRelease(work);
}

void TextureCubeJoinEdges(TextureCube& cube) {
  std::uint8_t s = 0;
  std::uint8_t ch = 0;
  if (!FaceShape(cube, s, ch)) return;
  const std::uint32_t n = std::uint32_t{1} << s;
  for (const CubeEdge& e : CubeEdgeTable) {
    float* a = FaceTexels(cube.faces[e.faceA]);
    float* b = FaceTexels(cube.faces[e.faceB]);
    for (std::uint32_t k = 0; k < n; ++k) {
      float* ta = a + std::size_t{CubeWalkTexel(e.walkA, s, k)} * ch;
      float* tb = b + std::size_t{CubeWalkTexel(e.walkB, s, k)} * ch;
      for (std::uint32_t c = 0; c < ch; ++c) ta[c] = tb[c] = (ta[c] + tb[c]) * 0.5f;
    }
  }
  // Each corner texel lies on two edges of its face, so the edges alone leave the three
  // texels of a cube corner unequal. Faces of one texel are all corners: they take the mean
  // of all six.
  if (s == 0) {
    for (std::uint32_t c = 0; c < ch; ++c) {
      float sum = 0.0f;
      for (TexturePixels& face : cube.faces) sum += FaceTexels(face)[c];
      for (TexturePixels& face : cube.faces) FaceTexels(face)[c] = sum / 6.0f;
    }
    return;
  }
  const std::uint32_t last = n - 1;
  for (const auto& corner : kCubeCorners) {
    float* t[3];
    for (int i = 0; i < 3; ++i) {
      const std::uint32_t x = (corner[i].corner & 1) ? last : 0;
      const std::uint32_t y = (corner[i].corner & 2) ? last : 0;
      t[i] = FaceTexels(cube.faces[corner[i].face]) + ((std::size_t{y} << s) + x) * ch;
    }
    for (std::uint32_t c = 0; c < ch; ++c)
      t[0][c] = t[1][c] = t[2][c] = (t[0][c] + t[1][c] + t[2][c]) / 3.0f;
  }
}

void TextureCubeSmoothPass(TextureCube& cube) {
  std::uint8_t s = 0;
  std::uint8_t ch = 0;
  if (!FaceShape(cube, s, ch) || s == 0) return;
  TexturePixels smoothed[6]{};
  for (int f = 0; f < 6; ++f) {
    TexturePixelsResizeFloat(smoothed[f], ch, s, s);
    gKernelTable.MapPropagate2(ch, s, s, FaceTexels(cube.faces[f]), FaceTexels(smoothed[f]));
  }
  // Values are addressed per channel: line i of each walk is channel i.
  for (const CubeEdge& e : CubeEdgeTable)
    gKernelTable.MapPropagate(ch, s, WalkStart(e.walkA, s) * ch, WalkStart(e.walkB, s) * ch,
                              WalkStep(e.walkA, s) * ch, WalkStep(e.walkB, s) * ch,
                              FaceTexels(cube.faces[e.faceA]), FaceTexels(cube.faces[e.faceB]),
                              FaceTexels(smoothed[e.faceA]), FaceTexels(smoothed[e.faceB]));
  cube.state.dirty = 1;
  for (int f = 0; f < 6; ++f) {
    gKernelTable.MapCopy(ch, s, s, FaceTexels(smoothed[f]), FaceTexels(cube.faces[f]));
    TexturePixelsRelease(smoothed[f]);
  }
}

}  // namespace veskor
