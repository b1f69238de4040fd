#include "environment/sun_tile_camera.h"

#include <algorithm>
#include <cmath>

#include "gfx/viewport_rect.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"

namespace veskor {

namespace {

void SetPlane(float* plane, const float* point, const float* normal) {
  for (int a = 0; a < 3; ++a) {
    plane[a] = point[a];
    plane[3 + a] = normal[a];
  }
}

// n . (p - point) > 0.
bool Outside(const float* plane, const float* p) {
  return plane[3] * (p[0] - plane[0]) + plane[4] * (p[1] - plane[1]) +
             plane[5] * (p[2] - plane[2]) >
         0.0f;
}

}  // namespace

void SunCameraSetDirection(SunTileCamera& camera, float x, float y, float z) {
  camera.direction[0] = x;
  camera.direction[1] = y;
  camera.direction[2] = z;
  gKernelTable.KernelNormalize3(camera.direction);
}

void TileViewPlanes(SunTileCamera& camera) {
  const float* s = camera.direction;
  const float c[3] = {camera.eye[0] + s[0], camera.eye[1] + s[1], camera.eye[2] + s[2]};
  const float hw = camera.viewSize * 0.5f * camera.aspect, hh = camera.viewSize * 0.5f;
  // Side k: its outward horizontal axis, the edge's direction and the edge's middle.
  const float out[4][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}};
  const float half[4] = {hw, hw, hh, hh};
  for (int k = 0; k < 4; ++k) {
    const float edge[3] = {out[k][1], -out[k][0], 0.0f};  // horizontal, along the edge
    float n[3] = {edge[1] * s[2] - edge[2] * s[1], edge[2] * s[0] - edge[0] * s[2],
                  edge[0] * s[1] - edge[1] * s[0]};
    if (n[0] * out[k][0] + n[1] * out[k][1] < 0.0f)
      for (float& v : n) v = -v;
    const float point[3] = {c[0] + half[k] * out[k][0], c[1] + half[k] * out[k][1], c[2]};
    SetPlane(camera.planes[k], point, n);
  }
  const float up[3] = {0, 0, 1}, down[3] = {0, 0, -1};
  SetPlane(camera.planes[4], c, up);
  const float bottom[3] = {camera.eye[0], camera.eye[1], camera.eye[2] - camera.far};
  SetPlane(camera.planes[5], bottom, down);
}

bool PuffInTile(const SunTileCamera& camera, const float* bounds) {
  for (int axis = 0; axis < 3; ++axis) {
    const int u = (axis + 1) % 3, v = (axis + 2) % 3;
    for (int side = 0; side < 2; ++side) {
      float corners[4][3];
      for (int k = 0; k < 4; ++k) {
        corners[k][axis] = bounds[2 * axis + side];
        corners[k][u] = bounds[2 * u + (k & 1)];
        corners[k][v] = bounds[2 * v + (k >> 1)];
      }
      bool rejected = false;
      for (int p = 0; p < 6 && !rejected; ++p)
        rejected = Outside(camera.planes[p], corners[0]) && Outside(camera.planes[p], corners[1]) &&
                   Outside(camera.planes[p], corners[2]) && Outside(camera.planes[p], corners[3]);
      if (!rejected) return true;
    }
  }
  return false;
}

void TileViewBegin(SunTileCamera& camera, std::uint32_t tile) {
  const std::uint32_t column = tile % camera.tilesX, row = tile / camera.tilesX;
  camera.eye[0] = static_cast<float>(column) * camera.tileWorld[0] + camera.firstTileCentre[0];
  camera.eye[1] = static_cast<float>(row) * camera.tileWorld[1] + camera.firstTileCentre[1];
  camera.eye[2] = camera.eyeHeight;
  camera.viewSize = camera.tileViewSize;
  const float x0 = (1.0f - camera.tileFraction[0]) / 2.0f, x1 = 1.0f - x0;
  const float y0 = (1.0f - camera.tileFraction[1]) / 2.0f, y1 = 1.0f - y0;
  camera.viewport[0] = x0;
  camera.viewport[1] = x1;
  camera.viewport[2] = y0;
  camera.viewport[3] = y1;
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  camera.glViewportSize[0] = viewport[2];
  camera.glViewportSize[1] = viewport[3];
  const auto w = static_cast<float>(viewport[2]), h = static_cast<float>(viewport[3]);
  camera.aspect = ((x1 - x0) * w) / ((y1 - y0) * h);
  camera.wholeWindow = std::fabs(x1 - x0) > 0.999f && std::fabs(y1 - y0) > 0.999f ? 1 : 0;
  camera.pixelRect[0] = viewport[0] + RoundPixel(w * x0);
  camera.pixelRect[1] = viewport[1] + RoundPixel(h * y0);
  camera.pixelRect[2] = RoundPixel(w * (x1 - x0));
  camera.pixelRect[3] = RoundPixel(h * (y1 - y0));
  TileViewPlanes(camera);

  const double halfHeight = camera.viewSize / 2.0, halfWidth = halfHeight * camera.aspect;
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(-halfWidth, halfWidth, -halfHeight, halfHeight, 1.0, camera.far);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  const float* e = camera.eye;
  gluLookAt(e[0], e[1], e[2], e[0], e[1], e[2] - 1.0, 0.0, 1.0, 0.0);
  glMultMatrixf(camera.shearMatrix);
  if (camera.wholeWindow == 0) {
    glGetIntegerv(GL_VIEWPORT, camera.savedViewport);
    glViewport(camera.pixelRect[0], camera.pixelRect[1], camera.pixelRect[2], camera.pixelRect[3]);
  }
  glDepthRange(0.0, 1.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  camera.tileActive = 1;
}

void TileViewEnd(SunTileCamera& camera) {
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  if (camera.wholeWindow == 0) {
    const GLint* v = camera.savedViewport;
    glViewport(v[0], v[1], v[2], v[3]);
  }
  camera.tileActive = 0;
}

void ReadTileDepth(SunTileCamera& camera, std::uint32_t tile) {
  TexturePixels& atlas = *camera.atlas;
  if (atlas.data == nullptr) return;
  const std::int32_t size = 1 << atlas.log2Width;
  const auto column = static_cast<std::int32_t>(tile % camera.tilesX);
  const auto row = static_cast<std::int32_t>(tile / camera.tilesX);
  const std::int32_t x = column * static_cast<std::int32_t>(camera.tileWidth);
  const std::int32_t y = row * static_cast<std::int32_t>(camera.tileHeight);
  const std::int32_t width = std::min(static_cast<std::int32_t>(camera.tileWidth), size - x);
  const std::int32_t height = std::min(static_cast<std::int32_t>(camera.tileHeight), size - y);
  if (width <= 0 || height <= 0) return;
  float* destination = static_cast<float*>(atlas.data) + static_cast<std::size_t>(y) * size + x;
  glPixelStorei(GL_PACK_ROW_LENGTH, size);
  glReadPixels(camera.pixelRect[0], camera.pixelRect[1], width, height, GL_DEPTH_COMPONENT,
               GL_FLOAT, destination);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
}

}  // namespace veskor
