#include "gfx/geometry_batch_draw.h"

#include "gfx/gl_entry_points.h"
#include "platform/gl.h"

namespace veskor {

namespace {

// Binds the arrays at the range's first float and locks them over its vertices.
void BindRange(const GeometryBatchBuffer& buffer, const BatchRange& range, std::uint32_t format,
               std::uint32_t floats) {
  const float* first = buffer.vertices + range.firstFloat;
  const auto stride = static_cast<GLsizei>(4 * floats);
  glVertexPointer(3, GL_FLOAT, stride, first);
  glEnableClientState(GL_VERTEX_ARRAY);
  if (format >= 1 && format <= 3) {
    glNormalPointer(GL_FLOAT, stride, first + 3);
    glEnableClientState(GL_NORMAL_ARRAY);
  } else {
    glDisableClientState(GL_NORMAL_ARRAY);
  }
  if (!BatchVarInUse(buffer)) glLockArraysEXT(0, static_cast<GLsizei>(range.floatCount / floats));
}

void Unlock(const GeometryBatchBuffer& buffer) {
  if (!BatchVarInUse(buffer)) glUnlockArraysEXT();
}

void DrawRange(const GeometryBatchBuffer& buffer, const BatchRange& range) {
  // Only a mirrored view (a current box of 0 or more) cuts a range down to its first group.
  const bool mirrored = buffer.currentWaterBox >= 0 &&
                        range.waterBox == static_cast<std::uint32_t>(buffer.currentWaterBox);
  const std::uint32_t n = mirrored ? 3 * range.above : range.indexCount;
  if (n != 0)
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(n), GL_UNSIGNED_SHORT,
                   buffer.indices + range.firstIndex);
}

}  // namespace

void EnableVertexArrays(const GeometryBatchBuffer& buffer) {
  if (!BatchVarInUse(buffer)) return;
  glVertexArrayRangeNV(static_cast<GLsizei>(buffer.vertexBytes), buffer.vertices);
  glEnableClientState(GL_VERTEX_ARRAY_RANGE_NV);
}

void DisableVertexArrays(const GeometryBatchBuffer& buffer) {
  if (BatchVarInUse(buffer)) glDisableClientState(GL_VERTEX_ARRAY_RANGE_NV);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

void BatchDrawItem(const GeometryBatchBuffer& buffer, const ItemDrawRecord& record) {
  const std::uint32_t floats = VertexFormatFloats(record.format);
  if (floats == 0) return;
  BindRange(buffer, record.mainRanges[0], record.format, floats);
  DrawRange(buffer, record.capA);
  DrawRange(buffer, record.capB);
  DrawRange(buffer, record.mainRanges[0]);
  Unlock(buffer);
  for (std::uint32_t r = 1; r < record.rangeCount && r < 4; ++r) {
    BindRange(buffer, record.mainRanges[r], record.format, floats);
    DrawRange(buffer, record.mainRanges[r]);
    Unlock(buffer);
  }
}

}  // namespace veskor
