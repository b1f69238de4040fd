#include "environment/planets.h"

#include <algorithm>
#include <cmath>

#include "environment/screen_overlay.h"
#include "gfx/texture_combine.h"
#include "gfx/texture_format.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"

namespace veskor {

namespace {

constexpr float kDegreesPerRadian = 57.29578f;
constexpr float kVerticalLimit = 1e-5f;

// The disc's right (x) and up (y) axes for the disc normal n (towards the viewer).
void DiscFrame(const float* n, float* x, float* y) {
  float t[3];
  if (std::fabs(n[0]) <= kVerticalLimit) {
    t[0] = n[1] >= 0.0f ? 1.0f : -1.0f, t[1] = 0.0f, t[2] = 0.0f;
  } else if (std::fabs(n[1]) <= kVerticalLimit) {
    t[0] = 0.0f, t[1] = n[0] >= 0.0f ? -1.0f : 1.0f, t[2] = 0.0f;
  } else {
    t[0] = n[1], t[1] = -n[0], t[2] = 0.0f;
    gKernelTable.KernelNormalize3(t);
  }
  y[0] = t[1] * n[2] - t[2] * n[1];
  y[1] = t[2] * n[0] - t[0] * n[2];
  y[2] = t[0] * n[1] - t[1] * n[0];
  // The disc's x runs along -t.
  for (int a = 0; a < 3; ++a) x[a] = -t[a];
}

void Bake(SceneTexture& planet, const float* S) {
  const KernelTable& k = gKernelTable;
  const float n[3] = {-planet.direction[0], -planet.direction[1], -planet.direction[2]};
  float right[3], up[3];
  DiscFrame(n, right, up);
  const std::uint32_t wLog = TextureLog2Width(planet.colour);
  const std::uint32_t hLog = TextureLog2Height(planet.colour);
  FloatTexture2DRealloc(planet.shading, 4, wLog, hLog);
  planet.shading.state.minLodFlag = planet.shading.state.maxLodFlag = 0;
  const std::uint32_t W = 1u << wLog, H = 1u << hLog;
  auto* colour = static_cast<std::uint8_t*>(TextureData(planet.colour));
  auto* shading = static_cast<float*>(TextureData(planet.shading));
  for (std::uint32_t j = 0; j < H; ++j) {
    const float y = -1.0f + static_cast<float>(2 * j + 1) / static_cast<float>(H);
    for (std::uint32_t i = 0; i < W; ++i) {
      const float x = -1.0f + static_cast<float>(2 * i + 1) / static_cast<float>(W);
      std::uint8_t* c = colour + 4 * (j * W + i);
      float* s = shading + 4 * (j * W + i);
      s[0] = s[1] = s[2] = s[3] = 0.0f;
      const float r2 = x * x + y * y;
      if (r2 > 1.0f) continue;
      const float z = k.KernelSqrt(1.0f - r2);
      float L = 0.0f;
      for (int a = 0; a < 3; ++a) L -= (x * right[a] + y * up[a] + z * n[a]) * S[a];
      const float diffuse = (L + 1.0f) * 0.5f;
      const float M = TerminatorFactor(L, planet.ringSize);
      const float a = static_cast<float>(c[3]) / 255.0f;
      for (int e = 0; e < 3; ++e) {
        const float q = (static_cast<float>(c[e]) / 255.0f + a * planet.intensity) *
                        planet.brightness * diffuse;
        c[e] = static_cast<std::uint8_t>(255.0f * std::clamp(q, 0.0f, 1.0f));
      }
      s[3] = ((1.0f - M) * planet.fadeNight + M * planet.fadeDay) * (1.0f - a);
    }
  }
}

void Prepare(TextureObject2D& texture) {
  Texture2DSetFilter(texture, kFilterBilinear);
  Texture2DSetWrap(texture, 0);
}

// Colour and alpha both from the texture.
void SetReplaceCombine() {
  SetCombine({GL_REPLACE, GL_TEXTURE, GL_SRC_COLOR, 0, GL_REPLACE, GL_TEXTURE, GL_SRC_ALPHA, 0});
}

void Quad(const float corners[4][2]) {
  static constexpr float kTexCoords[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
  glBegin(GL_QUADS);
  for (int c = 0; c < 4; ++c) {
    glMultiTexCoord2fv(GL_TEXTURE0, kTexCoords[c]);
    glVertex2fv(corners[c]);
  }
  glEnd();
}

bool OnScreen(const float* p) {
  return p[0] >= -1.0f && p[0] <= 1.0f && p[1] >= -1.0f && p[1] <= 1.0f;
}

}  // namespace

void PlanetGroupFrame(const float* d, float* u, float* dCopy, float* v) {
  const float horizontal = gKernelTable.KernelSqrt(d[0] * d[0] + d[1] * d[1]);
  if (horizontal <= kVerticalLimit) {
    u[0] = 1.0f, u[1] = 0.0f, u[2] = 0.0f;
  } else {
    u[0] = d[1] / horizontal, u[1] = -d[0] / horizontal, u[2] = 0.0f;
  }
  for (int a = 0; a < 3; ++a) dCopy[a] = d[a];
  v[0] = u[1] * d[2] - u[2] * d[1];
  v[1] = u[2] * d[0] - u[0] * d[2];
  v[2] = u[0] * d[1] - u[1] * d[0];
}

float TerminatorFactor(float L, float ringSize) {
  if (L > ringSize) return 1.0f;
  if (L < -ringSize) return 0.0f;
  if (ringSize == 0.0f) return 0.5f;  // L = 0 on a hard terminator
  return (L + ringSize) / (2.0f * ringSize);
}

void BuildPlanetTextures(SceneTexture& planet, const float* S, const float* u, const float* /*d*/,
                         const float* v) {
  const float* p = planet.direction;
  planet.angleH = (u[0] * p[0] + u[1] * p[1] + u[2] * p[2]) * kDegreesPerRadian;
  planet.angleV = (v[0] * p[0] + v[1] * p[1] + v[2] * p[2]) * kDegreesPerRadian;
  if (TextureData(planet.colour) == nullptr) return;
  Bake(planet, S);
  Prepare(planet.colour);
  Prepare(planet.shading);
  Texture2DBind(planet.colour, kModeKeepEnvironment, 0);
  FloatTexture2DBind(planet.shading, kModeKeepEnvironment, 0);
  glBindTexture(GL_TEXTURE_2D, 0);
  TexturePixels& pixels = planet.shading.pixels;
  MemBlockRelease(pixels.block);
  pixels.block = MemBlock{};
  pixels.data = nullptr;
}

void DrawPlanets(const PlanetGroup& group, const Camera& camera) {
  const KernelTable& k = gKernelTable;
  float g[3] = {group.direction[0], group.direction[1], group.direction[2]};
  k.KernelNormalize3(g);
  // The point one unit behind the camera from the group: it projects where the direction does,
  // with w < 0 while the direction lies in front of the camera.
  const float point[4] = {camera.position[0] - g[0], camera.position[1] - g[1],
                          camera.position[2] - g[2], 1.0f};
  float R[4];
  k.KernelMat4Vec4(R, camera.clipMatrix, point);
  if (!(R[3] < 0.0f)) return;
  const float G[2] = {R[0] / R[3], R[1] / R[3]};
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  const float aspect = static_cast<float>(viewport[3]) / static_cast<float>(viewport[2]);
  const float F = camera.focalAngle;
  // The tangent of half the view angle, which is in degrees.
  const float t = std::tan(0.5f * F / kDegreesPerRadian);
  const float cr = std::cos(camera.roll), sr = std::sin(camera.roll);
  const float a = t * (G[0] * cr / aspect + G[1] * sr);
  const float s = k.KernelSqrt(1.0f + a * a) / F;
  const float U[2] = {aspect * s * cr, s * sr};
  const float V[2] = {-aspect * s * sr, s * cr};
  for (std::uint32_t i = 0; i < group.count && i < kPlanetGroupCapacity; ++i)
    DrawPlanet(*group.planets[i], G, U, V);
}

void DrawPlanet(SceneTexture& planet, const float* G, const float* U, const float* V) {
  const float h = planet.angularSize;
  float centre[2];
  for (int a = 0; a < 2; ++a) centre[a] = G[a] + planet.angleH * U[a] + planet.angleV * V[a];
  float corners[4][2];
  const float signs[4][2] = {{-1, -1}, {-1, 1}, {1, 1}, {1, -1}};
  bool visible = false;
  for (int c = 0; c < 4; ++c) {
    for (int a = 0; a < 2; ++a)
      corners[c][a] = centre[a] + signs[c][0] * h * U[a] + signs[c][1] * h * V[a];
    visible = visible || OnScreen(corners[c]);
  }
  if (!visible) return;

  const bool fog = BeginScreenOverlay();
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

  Texture2DBind(planet.colour, kModeKeepEnvironment, 0);
  SetReplaceCombine();
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
  glBlendFunc(GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA);
  Quad(corners);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
  glBlendFunc(GL_DST_ALPHA, GL_ZERO);
  Quad(corners);
  FloatTexture2DBind(planet.shading, kModeKeepEnvironment, 0);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glBlendFunc(GL_ONE, GL_ONE);
  Quad(corners);
  EndScreenOverlay(fog);
}

}  // namespace veskor
