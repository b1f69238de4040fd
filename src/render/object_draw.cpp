#include "render/object_draw.h"

#include <string>

#include "environment/batch_range_arrays.h"
#include "foundation/data_file_search.h"
#include "foundation/search_dirs.h"
#include "foundation/session_log.h"
#include "geometry/item_tables.h"
#include "geometry/skin_slot.h"
#include "gfx/gl_capabilities.h"
#include "gfx/gl_entry_points.h"
#include "gfx/png_texture.h"
#include "gfx/texture_format.h"
#include "gfx/texture_names.h"
#include "gfx/transform_node.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "platform/message_box.h"
#include "render/object_passes.h"
#include "render/renderer_globals.h"

namespace veskor {

std::uint32_t ContourStamp = 0;

namespace {

constexpr std::uint32_t kRangeSlots = 4;  // entries of ItemDrawRecord::mainRanges
constexpr std::uint32_t kPassUnits = 4;   // texture units the passes use
// One period of the contour texture's t axis spans 100 units of height.
constexpr double kContourScale = 0.01;
// The bands made in memory when the image cannot be had: 64 rows, a dark line every 8 rows.
constexpr std::uint32_t kBandLog2Rows = 6;
constexpr std::uint32_t kBandPeriod = 8;
constexpr std::uint8_t kBandGround[3] = {236, 230, 212};
constexpr std::uint8_t kBandLine[3] = {90, 60, 40};

PuffSliceRange Slice(const BatchRange& range) {
  return {range.firstFloat, range.floatCount, range.firstIndex, range.indexCount};
}

bool VarInUse() { return HasExtension(kExtVertexArrayRange) != 0; }

// The vertex (and normal) arrays at the range's first vertex, locked over its vertices unless
// they live in vertex-array-range memory.
void Bind(const GeometryBatchBuffer& buffer, const BatchRange& range) {
  BindVertexNormalArrays(buffer, Slice(range));
  if (VarInUse()) return;
  const std::uint32_t floats = buffer.floatsPerVertex;
  glLockArraysEXT(0, static_cast<GLsizei>(floats == 0 ? 0 : range.floatCount / floats));
}

void Unlock() {
  if (!VarInUse()) glUnlockArraysEXT();
}

void Submit(const GeometryBatchBuffer& buffer, const BatchRange& range, std::uint32_t count) {
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(count), GL_UNSIGNED_SHORT,
                 buffer.indices + range.firstIndex);
}

void SubmitLines(const GeometryBatchBuffer& buffer, const BatchRange& range,
                 std::uint32_t count) {
  glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  Submit(buffer, range, count);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

bool Reduced(const BatchRange& range) {
  const auto portal = static_cast<std::int32_t>(range.waterBox);
  return portal != -1 && portal == CurrentPortalIndex;
}

// The passes point the texture-coordinate arrays of client units 0 to 3 into the record's
// vertices, and neither their restores nor the next SetVertexFormat (active unit only) turn
// them off: the next draw would fetch through them with this record's stride.
void TexCoordArraysOff() {
  for (std::uint32_t unit = kPassUnits; unit-- > 0;) {
    glClientActiveTextureARB(GL_TEXTURE0_ARB + unit);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  }
}

std::uint32_t Triangles(const BatchRange& range) { return range.indexCount / 3; }

std::uint32_t RangeCount(const ItemDrawRecord& record) {
  return record.rangeCount < kRangeSlots ? record.rangeCount : kRangeSlots;
}

void FillBands(Texture2D& texture) {
  Texture2DResize(texture, 3, 0, kBandLog2Rows);
  auto* texels = static_cast<std::uint8_t*>(TextureData(texture));
  for (std::uint32_t row = 0; row < (1u << kBandLog2Rows); ++row) {
    const std::uint8_t* colour = row % kBandPeriod == 0 ? kBandLine : kBandGround;
    for (std::uint32_t c = 0; c < 3; ++c) texels[3 * row + c] = colour[c];
  }
}

// Once per load, that is once per rendering-context generation.
void ReportContour(const std::string& text) {
  LogWriteText(LogStream(), (text + "\n").c_str());
  ShowMessageBox("Warning", text.c_str(), MessageIcon::kExclamation, MessageButtons::kOk);
}

// A record left without vertices (its mesh was too large to batch): nothing to bind, lock or
// draw.
bool Empty(const ItemDrawRecord& record) { return record.mainRanges[0].floatCount == 0; }

// Records of the object, within the batch item table.
std::uint32_t RecordEnd(const SceneObject& object) {
  const std::uint64_t end = std::uint64_t{object.firstBatchItem} + object.batchItemCount;
  return end < kItemMax ? static_cast<std::uint32_t>(end) : kItemMax;
}

// Modes 1, 2 and 3: each record's second, third and main range under one binding, then the
// further ranges with their own. `colours` is null for the contours, which change none.
std::uint32_t DrawPlainRecords(SceneObject& object, std::uint32_t polygonMode,
                               const float (*colours)[4], bool texturingOff) {
  GeometryBatchBuffer& buffer = gGeometryBatchBuffer;
  std::uint32_t t = 0;
  auto colour = [&](int k) {
    if (colours != nullptr) glColor4fv(colours[k]);
  };
  for (std::uint32_t r = object.firstBatchItem; r < RecordEnd(object); ++r) {
    const ItemDrawRecord& record = gBatchItemRecords[r];
    if (Empty(record)) continue;
    if (texturingOff) glDisable(GL_TEXTURE_2D);
    t += (record.capA.indexCount + record.capB.indexCount) / 3;
    SetVertexFormat(buffer, record.format);
    Bind(buffer, record.mainRanges[0]);
    if (record.capA.indexCount != 0) {
      colour(0);
      DrawIndexedFill(buffer, record.capA, polygonMode);
    }
    if (record.capB.indexCount != 0) {
      colour(1);
      DrawIndexedFill(buffer, record.capB, polygonMode);
    }
    colour(2);
    DrawIndexedFill(buffer, record.mainRanges[0], polygonMode);
    Unlock();
    t += Triangles(record.mainRanges[0]);
    for (std::uint32_t j = 1; j < RangeCount(record); ++j) {
      t += Triangles(record.mainRanges[j]);
      Bind(buffer, record.mainRanges[j]);
      DrawIndexedFill(buffer, record.mainRanges[j], polygonMode);
      Unlock();
    }
  }
  return t;
}

// Every pass of the list over one range, with the skin texture set of that range. The passes
// bind texture coordinates at the range's first vertex, but the second and third ranges index
// the record's vertices from the main range's first vertex, as the bound arrays do: they are
// handed the main range's vertices so that their coordinates line up with the positions.
void DrawPasses(SkinSlot& slot, SkinTextureSet& textures, const BatchRange& range,
                const BatchRange& vertices, bool mirrored) {
  GeometryBatchBuffer& buffer = gGeometryBatchBuffer;
  BatchRange bound = range;
  bound.firstFloat = vertices.firstFloat;
  bound.floatCount = vertices.floatCount;
  for (std::uint32_t p = 0; p < ObjectPassCount; ++p) {
    if (mirrored)
      ObjectTexturePassMirrored(slot, textures, p, bound);
    else
      ObjectTexturePass(slot, textures, p, bound);
    DrawIndexedFill(buffer, range, kPolygonFill);
    RestoreObjectPass(p, mirrored ? 1 : 0);
  }
}

std::uint32_t DrawTexturedRecords(SceneObject& object, std::uint32_t flags) {
  GeometryBatchBuffer& buffer = gGeometryBatchBuffer;
  const bool mirrored = (flags & kDrawMirrored) != 0;
  std::uint32_t t = 0;
  for (std::uint32_t r = object.firstBatchItem; r < RecordEnd(object); ++r) {
    const ItemDrawRecord& record = gBatchItemRecords[r];
    if (Empty(record)) continue;
    const std::uint64_t item = std::uint64_t{object.firstItem} + (r - object.firstBatchItem);
    if (item >= kSkinSlotTableSize) break;
    SkinSlot& slot = gSkinSlots[item];
    t += (record.capA.indexCount + record.capB.indexCount) / 3;
    const BatchRange& main = record.mainRanges[0];
    SetVertexFormat(buffer, record.format);
    Bind(buffer, main);
    ObjectPassListFill(slot, flags);
    if (record.capA.indexCount != 0)
      DrawPasses(slot, slot.textureSets[1], record.capA, main, mirrored);
    if (record.capB.indexCount != 0)
      DrawPasses(slot, slot.textureSets[2], record.capB, main, mirrored);
    DrawPasses(slot, slot.textureSets[0], main, main, mirrored);
    Unlock();
    for (std::uint32_t p = 0; p < ObjectPassCount; ++p) {
      for (std::uint32_t j = 1; j < RangeCount(record); ++j) {
        const BatchRange& range = record.mainRanges[j];
        Bind(buffer, range);
        if (mirrored)
          ObjectTexturePassMirrored(slot, slot.textureSets[0], p, range);
        else
          ObjectTexturePass(slot, slot.textureSets[0], p, range);
        DrawIndexedFill(buffer, range, kPolygonFill);
        RestoreObjectPass(p, mirrored ? 1 : 0);
        Unlock();
      }
    }
    for (std::uint32_t j = 0; j < RangeCount(record); ++j) t += Triangles(record.mainRanges[j]);
    ObjectPassListClear();
    TexCoordArraysOff();
  }
  return t;
}

// Unit 0 shows the contour texture, replacing the colour, with t the height along the
// object's vertical axis (as its world matrix maps it) over 100 units.
void ContourSetUp(const float* matrix) {
  ContourTextureLoad();
  glDisable(GL_BLEND);
  for (std::uint32_t unit = kPassUnits; unit-- > 1;) {
    glActiveTextureARB(GL_TEXTURE0_ARB + unit);
    glDisable(GL_TEXTURE_CUBE_MAP_ARB);
    glDisable(GL_TEXTURE_2D);
  }
  glActiveTextureARB(GL_TEXTURE0_ARB);
  glDisable(GL_TEXTURE_CUBE_MAP_ARB);
  glEnable(GL_TEXTURE_2D);
  Texture2DBind(ContourTexture(), kModeKeepEnvironment, 0);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, GL_REPLACE);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, GL_TEXTURE);
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB_ARB, GL_SRC_COLOR);
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA_ARB, GL_REPLACE);
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA_ARB, GL_ONE_MINUS_SRC_ALPHA);
  const double sPlane[4] = {0, 0, 0, 0};
  double tPlane[4] = {0, 0, kContourScale, 0};
  if (matrix != nullptr) {
    const float up[3] = {0, 0, static_cast<float>(kContourScale)}, origin[3] = {0, 0, 0};
    float a[3], b[3];
    gKernelTable.KernelTransformPoint(a, matrix, up);
    gKernelTable.KernelTransformPoint(b, matrix, origin);
    for (int k = 0; k < 3; ++k) tPlane[k] = static_cast<double>(a[k]) - b[k];
  }
  glTexGendv(GL_S, GL_OBJECT_PLANE, sPlane);
  glTexGendv(GL_T, GL_OBJECT_PLANE, tPlane);
  for (GLenum coordinate : {GL_S, GL_T, GL_R})
    glTexGeni(coordinate, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
  glDisable(GL_TEXTURE_GEN_R);
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_TEXTURE_GEN_T);
  glMatrixMode(GL_TEXTURE);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glColor3f(1, 1, 1);
}

void ContourRestore() {
  glActiveTextureARB(GL_TEXTURE0_ARB);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  glMatrixMode(GL_TEXTURE);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
}

constexpr float kLineColours[3][4] = {
    {0.1f, 0.1f, 0.8f, 1}, {0.8f, 0.1f, 0.1f, 1}, {0.8f, 0.8f, 0.8f, 1}};
constexpr float kFlatColours[3][4] = {{0.4f, 0.4f, 1.0f, 0}, {1.0f, 0.4f, 0.4f, 0}, {1, 1, 1, 0}};

}  // namespace

void DrawIndexedFill(const GeometryBatchBuffer& buffer, const BatchRange& range,
                     std::uint32_t polygonMode) {
  const bool reduced = Reduced(range);
  if (polygonMode == kPolygonFill) {
    if (reduced)
      DrawRangeReduced(buffer, range);
    else
      DrawRangeFull(buffer, range);
  } else if (polygonMode == kPolygonLines) {
    if (reduced)
      DrawRangeReducedLines(buffer, range);
    else
      DrawRangeFullLines(buffer, range);
  }
}

void DrawRangeFull(const GeometryBatchBuffer& buffer, const BatchRange& range) {
  Submit(buffer, range, range.indexCount);
}

void DrawRangeReduced(const GeometryBatchBuffer& buffer, const BatchRange& range) {
  Submit(buffer, range, 3 * range.above);
}

void DrawRangeFullLines(const GeometryBatchBuffer& buffer, const BatchRange& range) {
  SubmitLines(buffer, range, range.indexCount);
}

void DrawRangeReducedLines(const GeometryBatchBuffer& buffer, const BatchRange& range) {
  SubmitLines(buffer, range, 3 * range.above);
}

void ContourTextureLoad() {
  if (ContourStamp != 0 && ContourStamp == ContextStamp + 1) return;
  Texture2D& texture = ContourTexture();
  char path[kSearchDirBytes];
  DataFileFailure failure;
  const std::uint32_t index = FindDataFile(kContourImageName, &failure);
  std::uint32_t exact = 0;
  float uScale = 0, vScale = 0;
  if (!failure.path.empty()) {
    ReportContour("Cannot open \"" + failure.path + "\": " + failure.reason +
                  ". Height contours are drawn with plain bands.");
    FillBands(texture);
  } else if (index == 0 || !BuildDirPath(index, kContourImageName, path)) {
    ReportContour(std::string("Cannot find \"") + kContourImageName +
                  "\" in the search directories: " + SearchedDirectoryList() +
                  ". Height contours are drawn with plain bands.");
    FillBands(texture);
  } else if (LoadPngTexture(path, texture, 3, exact, uScale, vScale, nullptr) == 0) {
    ReportContour(std::string("Cannot read \"") + path +
                  "\". Height contours are drawn with plain bands.");
    FillBands(texture);
  }
  Texture2DSetFilter(texture, kFilterTrilinear);
  Texture2DSetWrap(texture, kWrapRepeatS | kWrapRepeatT);
  Texture2DBind(texture, kModePlain, 0);
  ContourStamp = ContextStamp + 1;
}

std::uint32_t DrawSceneObject(SceneObject& object, std::uint32_t flags) {
  if (object.visible == 0) return 0;
  const std::uint32_t mode = flags & kObjectModeMask;
  const bool placed = object.transform.identity == 0;
  const float* matrix = nullptr;
  if (placed) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    if (object.transform.dirty != 0) TransformNodeUpdate(object.transform);
    matrix = object.transform.matrix;
    glMultMatrixf(matrix);
  }
  std::uint32_t t = 0;
  switch (mode) {
    case kObjectModeTextured:
      t = DrawTexturedRecords(object, flags);
      break;
    case kObjectModeLines:
      t = DrawPlainRecords(object, kPolygonLines, kLineColours, true);
      break;
    case kObjectModeFlat:
      glDisable(GL_TEXTURE_2D);
      t = DrawPlainRecords(object, kPolygonFill, kFlatColours, false);
      break;
    case kObjectModeContour:
      ContourSetUp(matrix);
      t = DrawPlainRecords(object, kPolygonFill, nullptr, false);
      break;
    default:
      break;
  }
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  if (placed) glPopMatrix();
  if (mode == kObjectModeContour) ContourRestore();
  return t;
}

}  // namespace veskor
