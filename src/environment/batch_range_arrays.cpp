#include "environment/batch_range_arrays.h"

#include <cstring>
#include <initializer_list>

#include "gfx/gl_capabilities.h"
#include "gfx/gl_entry_points.h"
#include "platform/gl.h"

namespace veskor {

namespace {

// Components and byte offset of a texture-coordinate array.
struct Attribute {
  std::uint8_t components, offset;
};

// Per format 1 to 7: kinds 4, 5, 6, 0 and any other kind. Format 8 has kinds of its own.
constexpr Attribute kTexCoordTable[kVertexFormatCount - 1][5] = {
    {{3, 0}, {3, 12}, {3, 12}, {3, 12}, {3, 12}}, {{3, 0}, {3, 12}, {2, 24}, {2, 24}, {2, 24}},
    {{3, 0}, {3, 12}, {4, 24}, {4, 24}, {4, 24}}, {{3, 0}, {2, 12}, {2, 12}, {2, 12}, {2, 12}},
    {{3, 0}, {3, 12}, {3, 20}, {3, 12}, {3, 12}}, {{3, 0}, {4, 12}, {4, 12}, {4, 12}, {4, 12}},
    {{3, 0}, {3, 20}, {3, 20}, {2, 12}, {3, 20}},
};

constexpr std::uint32_t kFormatWithNormals = 3;
constexpr std::uint32_t kPositionKind = 4;

const std::uint8_t* RangeBytes(const GeometryBatchBuffer& buffer, const PuffSliceRange& range) {
  return reinterpret_cast<const std::uint8_t*>(buffer.vertices + range.floatStart);
}

}  // namespace

void AppendStreamVertex(GeometryBatchBuffer& buffer, const float* position, const float* a1,
                        const float* a2, const float* a3, const float* a4) {
  const std::uint32_t format = buffer.format;
  if (format <= kFormatWithNormals || format > kVertexFormatCount) return;
  const std::uint32_t at = buffer.floatCount;
  BatchReserveRoom(buffer, 1, 0);  // checks the room and counts the vertex
  float* out = buffer.vertices + at;
  std::memcpy(out, position, 3 * sizeof(float));
  out += 3;
  switch (format) {
    case 4: std::memcpy(out, a1, 2 * sizeof(float)); break;
    case 5: std::memcpy(out, a1, 3 * sizeof(float)); break;
    case 6: std::memcpy(out, a1, 4 * sizeof(float)); break;
    case 7:
      std::memcpy(out, a1, 2 * sizeof(float));
      std::memcpy(out + 2, a2, 3 * sizeof(float));
      break;
    default:
      for (const float* a : {a1, a2, a3, a4}) {
        std::memcpy(out, a, 3 * sizeof(float));
        out += 3;
      }
      break;
  }
}

void BindVertexNormalArrays(const GeometryBatchBuffer& buffer, const PuffSliceRange& range) {
  const std::uint32_t format = buffer.format;
  const std::uint32_t floats = VertexFormatFloats(format);
  if (floats == 0) return;
  const auto stride = static_cast<GLsizei>(4 * floats);
  const std::uint8_t* first = RangeBytes(buffer, range);
  glVertexPointer(3, GL_FLOAT, stride, first);
  glEnableClientState(GL_VERTEX_ARRAY);
  if (format <= kFormatWithNormals) {
    glNormalPointer(GL_FLOAT, stride, first + 12);
    glEnableClientState(GL_NORMAL_ARRAY);
  } else {
    glDisableClientState(GL_NORMAL_ARRAY);
  }
}

void BindTexCoordArrays(const GeometryBatchBuffer& buffer, const PuffSliceRange& range,
                        std::uint32_t unit, std::uint32_t kind) {
  const std::uint32_t format = buffer.format;
  const std::uint32_t floats = VertexFormatFloats(format);
  if (floats == 0) return;
  Attribute a;
  if (format == 8) {
    // Kinds 0 to 3 are the four attributes, 4 the position; a further kind would reach past
    // the vertex.
    if (kind > kPositionKind) return;
    a = kind == kPositionKind ? Attribute{3, 0}
                              : Attribute{3, static_cast<std::uint8_t>(12 + 12 * kind)};
  } else {
    const std::uint32_t column = kind == 4 ? 0 : kind == 5 ? 1 : kind == 6 ? 2 : kind == 0 ? 3 : 4;
    a = kTexCoordTable[format - 1][column];
  }
  if (HasExtension(kExtMultitexture) != 0) glClientActiveTextureARB(GL_TEXTURE0_ARB + unit);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glTexCoordPointer(a.components, GL_FLOAT, static_cast<GLsizei>(4 * floats),
                    RangeBytes(buffer, range) + a.offset);
}

void DrawBatchRange(const GeometryBatchBuffer& buffer, const PuffSliceRange& range,
                    std::uint32_t mode) {
  const std::uint32_t floats = VertexFormatFloats(buffer.format);
  if (mode != 1 || floats == 0) return;
  BindVertexNormalArrays(buffer, range);
  const bool lock = !BatchVarInUse(buffer);
  if (lock) glLockArraysEXT(0, static_cast<GLsizei>(range.floatCount / floats));
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(range.indexCount), GL_UNSIGNED_SHORT,
                 buffer.indices + range.indexStart);
  if (lock) glUnlockArraysEXT();
}

}  // namespace veskor
