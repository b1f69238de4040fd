#include "language/model_block.h"

#include <cstring>

#include "foundation/session_log.h"
#include "language/block_entries.h"
#include "language/lexer.h"
#include "language/scene_blocks.h"
#include "language/value_readers.h"
#include "language/world.h"
#include "mapengine/clamp_float.h"

namespace veskor {
namespace {

constexpr std::uint32_t kPointComponents = 5;

// The block being read: its points in file order and each Edge's run of them. Reused by every
// block.
struct ModelScratch {
  float points[kModelPointMax][kPointComponents];
  std::uint16_t edges[kModelEdgeMax][2];  // first point, one past the last
  std::uint16_t pointCount;
  std::uint16_t edgeCount;
};
ModelScratch gScratch;

bool Is(const char* token, const char* text) { return std::strcmp(token, text) == 0; }

void Log(const char* text) { LogWriteText(LogStream(), text); }

// The points of one Edge up to its closing "}" (not passed).
int ReadEdgePoints(SceneParser& parser, SceneFile& file) {
  while (!BlockInputEnded(file) && !Is(file.token, "}")) {
    if (gScratch.pointCount == kModelPointMax) return FailAt(file, kModelTooManyPoints);
    ValueRecord value;
    if (!ReadFloat(parser, value)) return 0;
    float* point = gScratch.points[gScratch.pointCount++];
    for (std::uint32_t c = 0; c < kPointComponents; ++c)
      point[c] = c < value.count ? value.floats[c] : 0.0f;  // components past the fifth unused
    point[4] = ClampFloat(point[4], 0.0f, kModelCreaseMax);
    if (Is(file.token, ",")) ReadRawToken(parser);
  }
  return 1;
}

int ReadEdge(SceneParser& parser, SceneFile& file) {
  if (!Is(file.token, "Edge")) {
    SetExpectedError(file, "Edge");
    return 0;
  }
  if (gScratch.edgeCount == kModelEdgeMax) return FailAt(file, kModelTooManyEdges);
  const std::uint32_t line = file.tokenLine;
  const std::uint16_t first = gScratch.pointCount;
  ReadRawToken(parser);
  if (!ExpectBrace(parser, "{")) return 0;
  if (!ReadEdgePoints(parser, file)) return 0;
  if (!ExpectBrace(parser, "}")) return 0;
  if (static_cast<std::uint32_t>(gScratch.pointCount - first) < kModelEdgeMinPoints) {
    SetErrorAtLine(file, kModelShortEdge, line);
    return 0;
  }
  std::uint16_t* edge = gScratch.edges[gScratch.edgeCount++];
  edge[0] = first;
  edge[1] = gScratch.pointCount;
  return 1;
}

void FillModel(EdgeCurveList& list, const char* name) {
  SessionLog& log = LogStream();
  Log("\n<Model ");
  Log(name);
  Log(" [");
  LogWriteUnsigned(log, gScratch.edgeCount);
  Log("] >\n");
  for (std::uint32_t e = 0; e < gScratch.edgeCount; ++e) {
    EdgeCurve& curve = list.curves[e];
    const std::uint32_t first = gScratch.edges[e][0], end = gScratch.edges[e][1];
    EdgeCurveResize(curve, end - first);
    for (std::uint32_t i = first; i < end; ++i) {
      const float* p = gScratch.points[i];
      AppendCurvePoint(curve, p[0], p[1], p[2], p[3], p[4], kEdgeCurveLevels, 0);
      Log("  [");
      for (std::uint32_t c = 0; c < kPointComponents; ++c) {
        if (c != 0) Log(" ");
        LogWriteFloat(log, p[c]);
      }
      Log("]\n");
    }
    Log("\n");
  }
  ModelCurveMetrics(list);
}

}  // namespace

int ParseModel(SceneParser& parser, ParseStore&) {
  SceneFile& file = InnermostFile(parser);
  char name[kSceneTokenBytes];
  std::uint32_t line;
  if (!BeginNamedBlock(parser, "Model", kModelSyntaxError, name, &line)) return 0;
  gScratch.pointCount = 0;
  gScratch.edgeCount = 0;
  if (!ExpectBrace(parser, "{")) return 0;
  while (!BlockInputEnded(file) && !Is(file.token, "}")) {
    if (!ReadEdge(parser, file)) return 0;
  }
  if (!Is(file.token, "}")) return FailAt(file, "'}' expected");
  if (gScratch.edgeCount == 0) {
    SetErrorAtLine(file, "Edge expected", line);
    return 0;
  }
  ReadRawToken(parser);
  if (gWorld.modelCount >= kWorldModelMax) return FailAt(file, kModelTableFull);
  EdgeCurveList* list = WorldAddModel(gWorld, gScratch.edgeCount, name);
  if (list == nullptr) return FailAt(file, kNameTableFullMessage);
  FillModel(*list, name);
  return 1;
}

}  // namespace veskor
