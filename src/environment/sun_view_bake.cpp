#include "environment/sun_view_bake.h"

#include <algorithm>
#include <cmath>

#include "environment/cube_sampling.h"
#include "environment/puff_field.h"
#include "environment/sky_model.h"
#include "gfx/face_directions.h"
#include "gfx/texture_cube_blur.h"
#include "mapengine/clamp_float.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "platform/gl_context.h"

namespace veskor {

namespace {

constexpr std::uint32_t kAtlasSize = 1u << kDepthAtlasLog2;
constexpr float kFarLimit = 12000.0f;
constexpr float kTileRoundingTolerance = 0.00001f;
constexpr float kEdgeLevel = 0.15f;
constexpr float kShadowFloor = 0.15f;

// The mesh of the sun view, per mesh level m (faces of N = 2^m vertices a side): vertex
// y N + x of face f is entry f N^2 + y N + x of the vertex array. Puff cubes have levels 4 to 6,
// so the mesh levels run to 5.
constexpr std::uint32_t kMaxMeshLevel = 5;
constexpr std::uint32_t kMaxMeshSide = 1u << kMaxMeshLevel;
constexpr std::uint32_t kMaxMeshQuadIndices =
    4 * (6 * (kMaxMeshSide - 1) * (kMaxMeshSide - 1) + 12 * (kMaxMeshSide - 1));

struct SunMeshIndices {
  std::uint16_t quads[kMaxMeshQuadIndices];
  std::uint32_t quadIndices;
  std::uint16_t corners[12];
  bool built;
};
SunMeshIndices gSunMeshIndices[kMaxMeshLevel + 1];
float gSunMeshVertices[6 * kMaxMeshSide * kMaxMeshSide * 3];
// The surface points over the texel corners of one face of a puff (the light cubes).
float gCornerPoints[((1u << kPuffCubeMaxLevel) + 1) * ((1u << kPuffCubeMaxLevel) + 1) * 3];

const SunMeshIndices& MeshIndices(std::uint32_t level) {
  SunMeshIndices& mesh = gSunMeshIndices[level];
  if (mesh.built) return mesh;
  const std::uint32_t n = 1u << level, faceSize = n * n;
  auto vertex = [&](std::uint32_t face, std::uint32_t x, std::uint32_t y) {
    return static_cast<std::uint16_t>(face * faceSize + y * n + x);
  };
  std::uint32_t q = 0;
  for (std::uint32_t face = 0; face < 6; ++face)
    for (std::uint32_t y = 0; y + 1 < n; ++y)
      for (std::uint32_t x = 0; x + 1 < n; ++x) {
        mesh.quads[q++] = vertex(face, x, y);
        mesh.quads[q++] = vertex(face, x + 1, y);
        mesh.quads[q++] = vertex(face, x + 1, y + 1);
        mesh.quads[q++] = vertex(face, x, y + 1);
      }
  for (const PuffSeam& seam : PuffSeamTable)
    for (std::uint32_t k = 0; k + 1 < n; ++k) {
      const auto a = [&](std::uint32_t step) {
        return static_cast<std::uint16_t>(seam.faceA * faceSize +
                                          CubeWalkTexel(seam.walkA, level, step));
      };
      const auto b = [&](std::uint32_t step) {
        return static_cast<std::uint16_t>(seam.faceB * faceSize +
                                          CubeWalkTexel(seam.walkB, level, step));
      };
      mesh.quads[q++] = a(k);
      mesh.quads[q++] = a(k + 1);
      mesh.quads[q++] = b(k + 1);
      mesh.quads[q++] = b(k);
    }
  mesh.quadIndices = q;
  const std::uint32_t e = n - 1;
  const std::uint16_t corners[12] = {vertex(0, e, e), vertex(5, 0, e), vertex(2, 0, 0),
                                     vertex(1, 0, 0), vertex(5, e, 0), vertex(3, e, e),
                                     vertex(2, e, 0), vertex(5, e, e), vertex(1, 0, e),
                                     vertex(3, 0, e), vertex(5, 0, 0), vertex(0, e, 0)};
  std::copy(corners, corners + 12, mesh.corners);
  mesh.built = true;
  return mesh;
}

// ceil(total / part), a quotient no more than 1e-5 above its integer part not rounded up.
std::uint32_t TileCount(std::uint32_t total, std::int32_t part) {
  const float q = static_cast<float>(total) / static_cast<float>(std::max(part, 1));
  auto n = static_cast<std::uint32_t>(q);
  if (q - static_cast<float>(n) > kTileRoundingTolerance) ++n;
  return std::max(n, 1u);
}

float Dot(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

}  // namespace

void RenderSunDepthAtlas(CloudLowLayer& layer, const float* sunDirection) {
  const KernelTable& k = gKernelTable;
  TexturePixelsResizeFloat(layer.depthAtlas, 1, kDepthAtlasLog2, kDepthAtlasLog2);
  TexturePixelsResizeFloat(layer.shadowRaster, 1, kShadowLog2, kShadowLog2);
  FloatTexture2DRealloc(layer.shadowTexture, 1, kShadowLog2, kShadowLog2);
  k.MapFill(1, kDepthAtlasLog2, kDepthAtlasLog2, static_cast<float*>(layer.depthAtlas.data), 1.0f);

  SunTileCamera& c = layer.sunCamera;
  c.atlas = &layer.depthAtlas;
  c.mask = &layer.shadowRaster;
  c.layer = &layer;
  const bool gl = GlCurrentContext() != nullptr;
  GLint viewport[4] = {0, 0, static_cast<GLint>(kAtlasSize), static_cast<GLint>(kAtlasSize)};
  if (gl) glGetIntegerv(GL_VIEWPORT, viewport);
  c.glViewportSize[0] = viewport[2];
  c.glViewportSize[1] = viewport[3];
  c.aspect = ((c.viewport[1] - c.viewport[0]) * static_cast<float>(viewport[2])) /
             ((c.viewport[3] - c.viewport[2]) * static_cast<float>(viewport[3]));

  const float x0 = layer.extent[0], x1 = layer.extent[1];
  const float y0 = layer.extent[2], y1 = layer.extent[3];
  const float floorZ = layer.bottom - kSunViewDepthMargin, top = layer.top;
  SunCameraSetDirection(c, sunDirection[0], sunDirection[1], sunDirection[2]);
  const float* s = c.direction;
  c.horizonSun = s[2] < kHorizonSunBound ? 0 : 1;
  const float range = top - floorZ;
  const float box[6] = {x0, y0, floorZ, x1, y1, top};
  std::copy(box, box + 6, c.box);
  const float sz = std::fabs(s[2]);
  c.shift[0] = c.horizonSun != 0 ? 0.0f : range * s[0] / sz;
  c.shift[1] = c.horizonSun != 0 ? 0.0f : range * s[1] / sz;

  c.tilesX = TileCount(kAtlasSize, viewport[2]);
  c.tilesY = TileCount(kAtlasSize, viewport[3]);
  c.tileWidth = kAtlasSize / c.tilesX;
  c.tileHeight = kAtlasSize / c.tilesY;

  float width = x1 - x0;
  float height = static_cast<float>(kAtlasSize) * width / static_cast<float>(kAtlasSize);
  if (height < y1 - y0) {
    height = y1 - y0;
    width = static_cast<float>(kAtlasSize) * height / static_cast<float>(kAtlasSize);
  }
  c.far = ClampFloat(range, 1.0f, kFarLimit);
  c.tileFraction[0] =
      static_cast<float>(c.tileWidth) / static_cast<float>(std::max(viewport[2], 1));
  c.tileFraction[1] =
      static_cast<float>(c.tileHeight) / static_cast<float>(std::max(viewport[3], 1));
  c.tileWorld[0] = width / static_cast<float>(c.tilesX);
  c.tileWorld[1] = height / static_cast<float>(c.tilesY);
  // The view is centred on the extent; where the extent is not square it reaches past it on
  // the short side, and the texture matrix starts at the view's corner.
  const float viewX0 = 0.5f * (x0 + x1) - 0.5f * width, viewY0 = 0.5f * (y0 + y1) - 0.5f * height;
  c.firstTileCentre[0] = viewX0 + 0.5f * c.tileWorld[0];
  c.firstTileCentre[1] = viewY0 + 0.5f * c.tileWorld[1];
  c.eyeHeight = top;
  c.tileViewSize = c.tileWorld[1];
  c.origin[0] = viewX0;
  c.origin[1] = viewY0;
  c.origin[2] = top;
  c.invViewWidth = 1.0f / width;
  c.invViewHeight = 1.0f / height;
  c.negDepthRange = floorZ - top;

  const float a = c.horizonSun != 0 ? 0.0f : s[0] / s[2];
  const float b = c.horizonSun != 0 ? 0.0f : s[1] / s[2];
  float* m = c.shearMatrix;
  std::fill(m, m + 16, 0.0f);
  m[0] = m[5] = m[10] = m[15] = 1.0f;
  m[8] = -a;
  m[9] = -b;
  m[12] = a * top;
  m[13] = b * top;
  float* t = c.textureMatrix;
  std::fill(t, t + 16, 0.0f);
  t[0] = 1.0f / width;
  t[5] = 1.0f / height;
  t[8] = -a / width;
  t[9] = -b / height;
  t[10] = 1.0f;
  t[12] = (a * top - viewX0) / width;
  t[13] = (b * top - viewY0) / height;
  t[15] = 1.0f;
  if (!gl) return;

  // Only depth is read: the surfaces are drawn with the depth test on whatever the caller left.
  glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT);
  glDisable(GL_CULL_FACE);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_SCISSOR_TEST);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glDepthMask(GL_TRUE);
  glClearDepth(1.0);
  for (std::uint32_t tile = 0; tile < c.tilesX * c.tilesY; ++tile) {
    TileViewBegin(c, tile);
    if (c.horizonSun == 0)
      for (std::uint32_t i = 0; i < layer.puffCount; ++i) DrawPuffSunView(layer, layer.puffs[i]);
    TileViewEnd(c);
    ReadTileDepth(c, tile);
    glFinish();
  }
  glPopAttrib();
}

void DrawPuffSunView(const CloudLowLayer& layer, const CloudPuff& puff) {
  const SunTileCamera& c = layer.sunCamera;
  const float* e = layer.extent;
  // The layer repeats with its extent. Seen along the sun a puff reaches from its box shifted
  // by the sun's shift (its bottom) to its box (its top); where that crosses an edge of the
  // extent a copy one extent over is drawn from the other edge. (With a shift of 0 a puff over
  // the upper edge is copied down, not up.)
  float shiftsX[3] = {0.0f}, shiftsY[3] = {0.0f};
  std::uint32_t countX = 1, countY = 1;
  const float sx = c.shift[0], sy = c.shift[1];
  if (puff.bounds[1] - std::min(sx, 0.0f) > e[1]) shiftsX[countX++] = e[0] - e[1];
  if (puff.bounds[0] - std::max(sx, 0.0f) < e[0]) shiftsX[countX++] = e[1] - e[0];
  if (puff.bounds[3] - std::min(sy, 0.0f) > e[3]) shiftsY[countY++] = e[2] - e[3];
  if (puff.bounds[2] - std::max(sy, 0.0f) < e[2]) shiftsY[countY++] = e[3] - e[2];
  for (std::uint32_t j = 0; j < countY; ++j)
    for (std::uint32_t i = 0; i < countX; ++i) {
      float bounds[6];
      std::copy(puff.bounds, puff.bounds + 6, bounds);
      bounds[0] += shiftsX[i], bounds[1] += shiftsX[i];
      bounds[2] += shiftsY[j], bounds[3] += shiftsY[j];
      // A copy is drawn where its own box may show in the tile.
      if (PuffInTile(c, bounds)) DrawPuffSunMesh(puff, shiftsX[i], shiftsY[j], 0.0f);
    }
}

void DrawPuffSunMesh(const CloudPuff& puff, float dx, float dy, float dz) {
  const PuffCubePair& pair = *puff.cubes;
  const std::uint32_t cubeLevel = pair.shapeCube.faces[0].log2Width;
  if (cubeLevel == 0 || cubeLevel > kMaxMeshLevel + 1 || pair.shapeCube.faces[0].data == nullptr)
    return;
  const std::uint32_t level = cubeLevel - 1, n = 1u << level;
  const KernelTable& k = gKernelTable;
  const float r = pair.radius, h = pair.halfHeight;
  const auto* directions = static_cast<const float*>(FaceDirectionTexels[level].data);
  float* out = gSunMeshVertices;
  for (std::uint32_t face = 0; face < 6; ++face)
    for (std::uint32_t t = 0; t < n * n; ++t, out += 3) {
      float d[3];
      CubeFaceDirection(face, directions + 3 * t, d);
      float e[3] = {d[0] / r, d[1] / r, d[2] / h};
      k.KernelNormalize3(e);
      float sample[4];
      CubeSample(pair.shapeCube, e, sample);
      const float scale = kSunViewInflation * sample[0];
      out[0] = puff.centre[0] + scale * e[0] * r;
      out[1] = puff.centre[1] + scale * e[1] * r;
      out[2] = puff.centre[2] + scale * e[2] * h;
    }
  const SunMeshIndices& mesh = MeshIndices(level);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glTranslatef(dx, dy, dz);
  glColor3f(1.0f, 1.0f, 1.0f);
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, gSunMeshVertices);
  glDrawElements(GL_QUADS, static_cast<GLsizei>(mesh.quadIndices), GL_UNSIGNED_SHORT, mesh.quads);
  glDrawElements(GL_TRIANGLES, 12, GL_UNSIGNED_SHORT, mesh.corners);
  glDisableClientState(GL_VERTEX_ARRAY);
  glPopMatrix();
}

void ShadowFilter(CloudLowLayer& layer) {
  const KernelTable& k = gKernelTable;
  constexpr std::uint8_t kA = kDepthAtlasLog2, kS = kShadowLog2;
  TexturePixels work{};
  TexturePixelsResizeFloat(work, 1, kA, kA);
  auto* w = static_cast<float*>(work.data);
  const auto* atlas = static_cast<const float*>(layer.depthAtlas.data);
  auto* mask = static_cast<float*>(layer.shadowRaster.data);
  auto* shadow = static_cast<float*>(layer.shadowTexture.pixels.data);
  k.MapNeighbourTest(1, kA, kA, atlas, kEdgeLevel, w);
  k.MapDownsample(1, kA, kA, 1, 1, w, mask);
  for (int pass = 0; pass < 2; ++pass) {
    k.MapCentreWeight(kS, kS, mask, w);
    k.MapCentreWeight(kS, kS, w, mask);
  }
  k.MapScalarMinusTimes(1, kA, kA, kShadowFloor, 1.0f, atlas, w);
  k.MapDownsample(1, kA, kA, 1, 1, w, shadow);
  for (int pass = 0; pass < 3; ++pass) {
    k.MapPropagate3(kS, kS, shadow, w);
    k.MapPropagate3(kS, kS, w, shadow);
  }
  TexturePixelsRelease(work);
}

float SunDepthAt(const CloudLowLayer& layer, float x, float y, float z) {
  const SunTileCamera& c = layer.sunCamera;
  if (c.horizonSun != 0 || layer.depthAtlas.data == nullptr) return 0.0f;
  const float* m = c.textureMatrix;
  const float u = x * m[0] + z * m[8] + m[12];
  const float v = y * m[5] + z * m[9] + m[13];
  float depth, mask = 1.0f;
  SampleFaceBilinear(layer.depthAtlas, u, v, &depth);
  if (layer.shadowRaster.data != nullptr) SampleFaceBilinear(layer.shadowRaster, u, v, &mask);
  const float z0 = depth * c.negDepthRange + layer.top;
  return std::max(z0 - z, 0.0f) * mask;
}

void LightPuffCubes(CloudLowLayer& layer, const float* colorLight, const float* colorDark) {
  const KernelTable& k = gKernelTable;
  const float* s = layer.sunCamera.direction;
  for (std::uint32_t ci = 0; ci < layer.clusterCount; ++ci) {
    const CloudCluster& cluster = layer.clusters[ci];
    for (std::uint32_t mi = 0; mi < cluster.puffCount; ++mi) {
      const CloudPuff& puff = *cluster.puffs[mi];
      PuffCubePair& pair = *puff.cubes;
      const std::uint32_t level = pair.shapeCube.faces[0].log2Width;
      const float r = pair.radius, h = pair.halfHeight;
      const auto* directions = static_cast<const float*>(FaceDirectionTexels[level].data);
      for (std::uint32_t face = 0; face < 6; ++face) {
        const auto* shape = static_cast<const float*>(pair.shapeCube.faces[face].data);
        auto* light = static_cast<float*>(pair.lightCube.faces[face].data);
        if (shape == nullptr || light == nullptr || level > kPuffCubeMaxLevel) continue;
        CubeCornerPoints(pair, face, gCornerPoints);
        for (std::uint32_t t = 0; t < (1u << (2 * level)); ++t, light += 3) {
          float d[3];
          CubeFaceDirection(face, directions + 3 * t, d);
          const float sv = shape[2 * t];
          const float q[3] = {puff.centre[0] + d[0] * sv * r, puff.centre[1] + d[1] * sv * r,
                              puff.centre[2] + d[2] * sv * h};
          float n[3];
          CornerPointsNormal(gCornerPoints, level, t, n);
          float e[3] = {d[0], d[1], d[2] * h / r};
          k.KernelNormalize3(e);
          float v[3] = {q[0] - cluster.centre[0], q[1] - cluster.centre[1],
                        q[2] - cluster.centre[2]};
          k.KernelNormalize3(v);
          const float k1 =
              1.0f - ClampFloat(SunDepthAt(layer, q[0], q[1], q[2]) * 0.0025f, 0.0f, 0.25f);
          const float w =
              0.7f * (1.0f - (0.3f * Dot(n, s) + 0.5f * Dot(v, s) + 0.2f * Dot(e, s))) * k1;
          for (int ch = 0; ch < 3; ++ch)
            light[ch] = w * colorLight[ch] + (1.0f - w) * colorDark[ch];
        }
      }
    }
  }
}

void BakePuffViews(CloudLowLayer& layer, const float* sunDirection, const float* colorLight,
                   const float* colorDark) {
  RenderSunDepthAtlas(layer, sunDirection);
  ShadowFilter(layer);
  std::copy(layer.sunCamera.textureMatrix, layer.sunCamera.textureMatrix + 16, layer.shadowMatrix);
  LightPuffCubes(layer, colorLight, colorDark);
  TexturePixelsRelease(layer.depthAtlas);
  TexturePixelsRelease(layer.shadowRaster);
}

}  // namespace veskor
