#include "gfx/ortho_pass.h"

#include <algorithm>
#include <cmath>

#include "gfx/gl_entry_points.h"
#include "gfx/transform_node.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"

namespace veskor {

namespace {

// Back-off along an axis whose sun component lies within this of zero ignores the axis.
constexpr float kAxisEpsilon = 0.0005f;
// The near plane lies at 1; the far plane stays at least 1 beyond it, since a box of no depth
// is no projection at all (GL refuses it and the pass would read back an unrelated image).
constexpr float kNearPlane = 1.0f;
constexpr float kMinDepth = kNearPlane + 1.0f;
constexpr float kMaxDepth = 12000.0f;
constexpr float kPolygonOffsetScale = 0.0234375f;
// Scratch slots of the shadow test.
enum { kU, kV, kW, kG, kM };

float Dot(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Cross(const float* a, const float* b, float* out) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

std::uint32_t ImageSide(std::uint32_t level, std::uint32_t limit) {
  const std::uint64_t side = level + 3 < 32 ? std::uint64_t{1} << (level + 3) : ~std::uint64_t{0};
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(side, limit));
}

// Grid kernels take 8-bit log2 sizes.
std::uint8_t Log2(std::uint16_t v) { return static_cast<std::uint8_t>(v); }

// Clears the depth buffer inside the rectangle (x, y, width, height) only, within the scissor
// box when the scissor test is on; the scissor test and box are left as they were. Only the
// rectangle is drawn and read back, and clearing the whole of a packed depth and stencil
// buffer would read and write every pixel of it.
void ClearDepthRect(const std::int32_t* rect) {
  GLint box[4];
  glGetIntegerv(GL_SCISSOR_BOX, box);
  const bool scissor = glIsEnabled(GL_SCISSOR_TEST) != GL_FALSE;
  std::int32_t x0 = rect[0], y0 = rect[1], x1 = rect[0] + rect[2], y1 = rect[1] + rect[3];
  if (scissor) {
    x0 = std::max(x0, box[0]), y0 = std::max(y0, box[1]);
    x1 = std::min(x1, box[0] + box[2]), y1 = std::min(y1, box[1] + box[3]);
  }
  glEnable(GL_SCISSOR_TEST);
  glScissor(x0, y0, std::max(x1 - x0, 0), std::max(y1 - y0, 0));
  glClear(GL_DEPTH_BUFFER_BIT);
  glScissor(box[0], box[1], box[2], box[3]);
  if (!scissor) glDisable(GL_SCISSOR_TEST);
}

}  // namespace

float* FloatScratchSize(FloatScratch& scratch, std::uint64_t count) {
  if (scratch.data != nullptr && scratch.count == count) return scratch.data;
  const std::uint64_t bytes = count * sizeof(float);
  // MemBlockReserve takes 32-bit sizes; a larger request fails in the memory manager.
  const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes, 0xFFFFFFFFu));
  if (scratch.block.base == nullptr || bytes > (std::uint64_t{1} << scratch.block.sizeClass)) {
    MemBlockRelease(scratch.block);
    MemBlockReserve(scratch.block, n);
  }
  scratch.block.usedBytes = 0;
  scratch.data = static_cast<float*>(MemBlockAppendFit(scratch.block, n));
  scratch.count = static_cast<std::uint32_t>(count);
  return scratch.data;
}

void FloatScratchRelease(FloatScratch& scratch) {
  MemBlockRelease(scratch.block);
  scratch = FloatScratch{};
}

OrthoPass::~OrthoPass() {
  FloatScratchRelease(depthImage);
  for (FloatScratch& s : scratch) FloatScratchRelease(s);
}

void OrthoPassRefreshAspect(OrthoCamera& camera) {
  GLint v[4];
  glGetIntegerv(GL_VIEWPORT, v);
  const auto w = static_cast<std::uint32_t>(v[2]);
  const auto h = static_cast<std::uint32_t>(v[3]);
  if (w == camera.ownerWidth && h == camera.ownerHeight) return;
  camera.ownerWidth = w;
  camera.ownerHeight = h;
  camera.aspect = ((camera.windowX1 - camera.windowX0) * static_cast<float>(w)) /
                  ((camera.windowY1 - camera.windowY0) * static_cast<float>(h));
}

void OrthoProject(const OrthoPass& pass, const float* point, float* u, float* v) {
  *u = Dot(point, pass.right);
  *v = Dot(point, pass.up);
}

void OrthoPassViewVolume(OrthoPass& pass) {
  OrthoPassRefreshAspect(pass);
  const float hh = pass.viewHeight * 0.5f;
  const float hw = hh * pass.aspect;
  const float* p = pass.position;
  const float* d = pass.direction;
  float n[3], a[3], b[3];
  for (int i = 0; i < 3; ++i) {
    n[i] = p[i] + d[i];
    a[i] = hw * pass.rolledRight[i];
    b[i] = hh * pass.rolledUp[i];
  }
  float(*c)[3] = pass.nearCorners;
  for (int i = 0; i < 3; ++i) {
    c[0][i] = n[i] - a[i] - b[i];
    c[1][i] = n[i] - a[i] + b[i];
    c[2][i] = n[i] + a[i] - b[i];
    c[3][i] = n[i] + a[i] + b[i];
  }
  // Left, right, top, bottom: the edge of the near rectangle on that side, and its mid-point.
  const int edges[4][2] = {{0, 1}, {3, 2}, {1, 3}, {2, 0}};
  for (int s = 0; s < 4; ++s) {
    const float* from = c[edges[s][0]];
    const float* to = c[edges[s][1]];
    float edge[3];
    for (int i = 0; i < 3; ++i) {
      edge[i] = from[i] - to[i];
      pass.sideMidPoints[s][i] = (from[i] + to[i]) * 0.5f;
    }
    Cross(d, edge, pass.sideNormals[s]);
  }
  for (int i = 0; i < 3; ++i) {
    pass.nearNormal[i] = -d[i];
    pass.farNormal[i] = d[i];
    pass.nearPoint[i] = n[i];
    pass.farPoint[i] = p[i] + pass.depth * d[i];
  }
}

void OrthoPassCaptureMatrix(float* destination) {
  float projection[16];
  float modelview[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      MatrixProductElementF(i, j, &destination[i + 4 * j], projection, modelview);
}

void OrthoPassLoadView(OrthoPass& pass) {
  const double h = pass.viewHeight * 0.5;
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(-h * pass.aspect, h * pass.aspect, -h, h, kNearPlane, pass.depth);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  const float* p = pass.position;
  const float* d = pass.direction;
  const float* up = pass.rolledUp;
  gluLookAt(p[0], p[1], p[2], p[0] + d[0], p[1] + d[1], p[2] + d[2], up[0], up[1], up[2]);
  if (pass.wholeWindow == 0) {
    glGetIntegerv(GL_VIEWPORT, pass.savedViewport);
    glViewport(pass.pixelRect[0], pass.pixelRect[1], pass.pixelRect[2], pass.pixelRect[3]);
  }
  glDepthRange(0, 1);
}

void OrthoPassRestoreView(OrthoPass& pass) {
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  if (pass.wholeWindow == 0) {
    const std::int32_t* v = pass.savedViewport;
    glViewport(v[0], v[1], v[2], v[3]);
  }
}

void BeginOrthoPass(OrthoPass& pass, const LodRange& range, const float* sun, const float* itemBox,
                    const float* sceneBox) {
  const KernelTable& k = gKernelTable;
  OrthoPassRefreshAspect(pass);

  float q[3], itemDiagonal[3], sceneDiagonal[3];
  for (int a = 0; a < 3; ++a) {
    q[a] = (itemBox[a] + itemBox[a + 3]) * 0.5f;
    itemDiagonal[a] = itemBox[a + 3] - itemBox[a];
    sceneDiagonal[a] = sceneBox[a + 3] - sceneBox[a];
  }
  const float r = k.KernelSqrt(Dot(itemDiagonal, itemDiagonal)) * 0.5f;
  const float sceneSize = k.KernelSqrt(Dot(sceneDiagonal, sceneDiagonal));

  // The distance from the item's centre against the light to the scene box's face.
  float t = 0;
  for (int a = 0; a < 3; ++a) {
    float ta = sceneSize;
    if (sun[a] < -kAxisEpsilon)
      ta = (q[a] - sceneBox[a + 3]) / sun[a];
    else if (sun[a] > kAxisEpsilon)
      ta = (q[a] - sceneBox[a]) / sun[a];
    t = a == 0 ? ta : std::min(t, ta);
  }
  const float backOff = t + r;

  for (int a = 0; a < 3; ++a) pass.direction[a] = sun[a];
  OrthoCameraFrameSteps(pass);
  for (int a = 0; a < 3; ++a) pass.position[a] = q[a] - backOff * pass.direction[a];
  pass.depth = std::clamp(backOff + r, kMinDepth, kMaxDepth);
  pass.roll = 0;
  OrthoCameraApplyRoll(pass);

  float uMin = 0, uMax = 0, vMin = 0, vMax = 0;
  for (int corner = 0; corner < 8; ++corner) {
    const float p[3] = {itemBox[(corner & 1) ? 3 : 0], itemBox[(corner & 2) ? 4 : 1],
                        itemBox[(corner & 4) ? 5 : 2]};
    float u, v;
    OrthoProject(pass, p, &u, &v);
    uMin = corner == 0 ? u : std::min(uMin, u);
    uMax = corner == 0 ? u : std::max(uMax, u);
    vMin = corner == 0 ? v : std::min(vMin, v);
    vMax = corner == 0 ? v : std::max(vMax, v);
  }
  pass.viewHeight = std::max(uMax - uMin, vMax - vMin);

  const std::uint32_t level = LodLevelForItem(range, pass.viewHeight, q[0], q[1], q[2]);
  pass.passWidth = ImageSide(level, pass.ownerWidth);
  pass.passHeight = ImageSide(level, pass.ownerHeight);
  pass.depthBias = kShadowDepthBias;
  pass.polygonOffset = std::ldexp(kPolygonOffsetScale, static_cast<int>(DepthBits));
  pass.wholeWindow = 0;
  pass.pixelRect[0] = 0;
  pass.pixelRect[1] = 0;
  pass.pixelRect[2] = static_cast<std::int32_t>(pass.passWidth);
  pass.pixelRect[3] = static_cast<std::int32_t>(pass.passHeight);

  OrthoPassViewVolume(pass);
  OrthoPassRefreshAspect(pass);

  OrthoPassLoadView(pass);
  pass.active = 1;
  OrthoPassCaptureMatrix(pass.clipMatrix);
  ClearDepthRect(pass.pixelRect);
}

void EndOrthoPass(OrthoPass& pass) {
  OrthoPassRestoreView(pass);
  pass.active = 0;
  if (glFlushVertexArrayRangeNV != nullptr) glFlushVertexArrayRangeNV();
}

void ReadFloatPixels(std::int32_t x, std::int32_t y, std::uint32_t width, std::uint32_t height,
                     std::uint32_t format, float* out) {
  GLint alignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);  // rows of floats are packed at 4
  glReadPixels(x, y, static_cast<GLsizei>(width), static_cast<GLsizei>(height), format, GL_FLOAT,
               out);
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);
}

void DepthReadback(OrthoPass& pass) {
  glFlush();
  float* image = FloatScratchSize(pass.depthImage, std::uint64_t{pass.passWidth} * pass.passHeight);
  pass.depthWidth = pass.passWidth;
  pass.depthHeight = pass.passHeight;
  ReadFloatPixels(pass.pixelRect[0], pass.pixelRect[1], pass.passWidth, pass.passHeight,
                  GL_DEPTH_COMPONENT, image);
  pass.depthValid = 1;
}

std::uint32_t ProcessDepthReadback(OrthoPass& pass, const VertexGrid& x, const VertexGrid& y,
                                   const VertexGrid& z, Map& shade) {
  const std::uint16_t w = x.log2Width;
  const std::uint16_t h = x.log2Height;
  const auto sameSize = [&](const VertexGrid& g) {
    return g.data != nullptr && g.log2Width == w && g.log2Height == h;
  };
  if (pass.depthValid == 0 || pass.depthWidth == 0 || pass.depthHeight == 0) return 0;
  if (!sameSize(x) || !sameSize(y) || !sameSize(z) || shade.data == nullptr ||
      shade.log2Width != w || shade.log2Height != h)
    return 0;

  const KernelTable& k = gKernelTable;
  const std::uint64_t vertices = ((std::uint64_t{1} << w) + 1) * ((std::uint64_t{1} << h) + 1);
  float* u = FloatScratchSize(pass.scratch[kU], vertices);
  float* v = FloatScratchSize(pass.scratch[kV], vertices);
  float* depth = FloatScratchSize(pass.scratch[kW], vertices);
  float* lit = FloatScratchSize(pass.scratch[kG], vertices);
  float* cells = FloatScratchSize(pass.scratch[kM], std::uint64_t{1} << (w + h));

  // The clip matrix maps the pass's view to [-1, 1] on each axis; this one maps it to [0, 1],
  // the place in the depth image and the window depth.
  float t[16];
  std::copy(pass.clipMatrix, pass.clipMatrix + 16, t);
  for (int column = 0; column < 3; ++column)
    for (int row = 0; row < 3; ++row) t[row + 4 * column] *= 0.5f;
  for (int row = 0; row < 3; ++row) t[row + 12] = (t[row + 12] + 1.0f) * 0.5f;

  const std::uint8_t a = Log2(w), b = Log2(h);
  k.GridTransform(a, b, t, x.data, y.data, z.data, u, v, depth);
  k.GridSampleBilinear7(pass.depthWidth, pass.depthHeight, pass.depthImage.data, a, b, u, v, lit);
  k.GridAddScalar(a, b, lit, pass.depthBias, lit);
  k.GridCompare2(a, b, lit, depth, lit);  // lit: not farther than the first surface seen
  k.GridAverage2x2(a, b, lit, 1, cells);
  k.MapAddScalar(1, a, b, cells, kShadowAmbient, cells);
  k.MapClamp01(1, a, b, cells);
  k.MapMul(1, a, b, shade.data, cells, shade.data);
  return 1;
}

std::uint32_t SunShadowPass(Pbuffer& pbuffer, OrthoPass& pass, const LodRange& range,
                            const float* sun, const float* itemBox, const float* sceneBox,
                            OrthoPassDraw draw, void* context) {
  // Without the pbuffer the window's back buffer serves.
  const std::uint32_t offscreen = PbufferMakeCurrent(pbuffer);
  BeginOrthoPass(pass, range, sun, itemBox, sceneBox);
  glDisable(GL_CULL_FACE);
  draw(pass, context);
  glEnable(GL_CULL_FACE);
  DepthReadback(pass);
  EndOrthoPass(pass);
  PbufferRestoreWindow(pbuffer);
  return offscreen;
}

}  // namespace veskor
