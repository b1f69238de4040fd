#include "language/height_field_block.h"

#include <algorithm>
#include <cstring>

#include "foundation/data_file_search.h"
#include "foundation/search_dirs.h"
#include "language/block_entries.h"
#include "language/height_field.h"
#include "language/lexer.h"
#include "language/scene_blocks.h"
#include "language/value_readers.h"

namespace veskor {
namespace {

enum : std::uint32_t { kLayerImage = 0, kLayerNoise = 1 };

// One `Layer` entry as read; every field is set at the entry's start.
struct LayerRecord {
  std::uint32_t kind;
  char name[kStringRecordBytes];  // image file
  std::uint32_t nameLine;         // where the image was named
  float noise[4];                 // octave count, base frequency, frequency factor, exponent
  std::uint32_t turbulence;
  float scale;
  std::uint32_t cut;
  float cutValue;
};

// The layers of the block being read, and the image of the layer being added.
LayerRecord gLayers[kHeightFieldLayerMax];
VertexGrid gLayerImage{};

bool Is(const char* token, const char* text) { return std::strcmp(token, text) == 0; }

int ParseLayerEntry(SceneParser& parser, SceneFile& file, LayerRecord& layer) {
  const bool fractal = Is(file.token, "fractal");
  if (Is(file.token, "name")) {
    layer.nameLine = file.tokenLine;
    ReadRawToken(parser);
    StringRecord name;
    if (!ReadStringArgument(parser, &name, 1)) return 0;
    std::memcpy(layer.name, name.text, name.length + 1);
    layer.kind = kLayerImage;
    return 1;
  }
  if (fractal || Is(file.token, "turbulence")) {
    // The noise values not given keep theirs (0 from the layer's start, or values that passed
    // before); the keyword's line stands for them.
    std::uint32_t lines[4];
    for (std::uint32_t& line : lines) line = file.currentTokenLine;
    ReadRawToken(parser);
    const std::uint16_t limits[2] = {1, 3};
    if (!ReadFloatArgument(parser, layer.noise, limits, 2, lines)) return 0;
    if (!CheckRange(parser, layer.noise, 1, kLayerOctavesMin, kLayerOctavesMax, lines)) return 0;
    if (!CheckMinimum(parser, layer.noise + 1, 3, 0.0f, lines + 1)) return 0;
    layer.kind = kLayerNoise;
    layer.turbulence = fractal ? 0 : 1;
    return 1;
  }
  std::uint32_t line;
  if (Is(file.token, "scale")) {
    return ReadEntryFloats(parser, &layer.scale, 1, nullptr, &line) &&
           CheckRange(parser, &layer.scale, 1, -kLayerScaleLimit, kLayerScaleLimit, &line);
  }
  if (Is(file.token, "cut")) {
    if (!ReadEntryFloats(parser, &layer.cutValue, 1, nullptr, &line)) return 0;
    if (!CheckRange(parser, &layer.cutValue, 1, 0.0f, 1.0f, &line)) return 0;
    layer.cut = 1;
    return 1;
  }
  return FailAt(file, kLayerSyntaxError);
}

// `Layer` `{` entry ... `}` into the next layer record.
int ParseLayer(SceneParser& parser, SceneFile& file, std::uint32_t& layerCount) {
  SetErrorLocation(file, kLayerSyntaxError);
  if (layerCount == kHeightFieldLayerMax) return FailAt(file, kHeightFieldTooManyLayers);
  ReadRawToken(parser);
  if (!ExpectBrace(parser, "{")) return 0;
  LayerRecord& layer = gLayers[layerCount];
  layer = LayerRecord{};
  layer.kind = kLayerNoise;
  layer.scale = 1.0f;
  while (!BlockInputEnded(file) && !Is(file.token, "}")) {
    if (!ParseLayerEntry(parser, file, layer)) return 0;
  }
  if (!ExpectBrace(parser, "}")) return 0;
  ++layerCount;
  return 1;
}

int AddLayer(SceneFile& file, HeightFieldRecord& record, const LayerRecord& layer) {
  const auto octaves = static_cast<std::uint32_t>(layer.noise[0]);
  const float* n = layer.noise;
  if (layer.kind == kLayerNoise) {
    if (layer.turbulence) {
      AddTurbulenceLayer(record, octaves, n[1], n[2], n[3], layer.scale);
    } else {
      AddFractalLayer(record, octaves, n[1], n[2], n[3], layer.scale);
    }
    return 1;
  }
  DataFileFailure failure;
  const std::uint32_t directory = FindDataFile(layer.name, &failure);
  if (directory == 0) return FailForFile(file, layer.name, failure.reason, layer.nameLine);
  char path[kSearchDirBytes];
  if (!BuildDirPath(directory, layer.name, path, sizeof path) ||
      !LoadLayerImage(path, gLayerImage, 0, kHeightFieldMaxLevel)) {
    SetErrorAtLine(file, kCannotLoadFile, layer.nameLine);
    return 0;
  }
  if (layer.cut) {
    AddCutImageLayer(record, gLayerImage, layer.cutValue, layer.scale);
  } else {
    AddImageLayer(record, gLayerImage, layer.scale);
  }
  VertexGridRelease(gLayerImage);
  return 1;
}

// Appends the height field under `name` and builds its raster.
int BuildHeightField(SceneFile& file, const char* name, const float* box, std::uint32_t layerCount,
                     const WaterPlane* water) {
  World& world = gWorld;
  if (world.heightFieldCount >= kWorldHeightFieldMax) return FailAt(file, kHeightFieldTableFull);
  const std::uint32_t index = world.heightFieldCount;
  if (!NameTableInsert(world.heightFieldNames, name, &index)) {
    return FailAt(file, kNameTableFullMessage);
  }
  const float extent = std::max({box[3] - box[0], box[4] - box[1], box[5] - box[2]});
  HeightFieldRecord& record = world.heightFields[index];
  HeightFieldSetup(record, HeightFieldLevel(extent), box[0], box[2], box[1], box[3], box[5],
                   box[4]);
  record.waterPlaneCount = 0;
  world.heightFieldCount = index + 1;
  if (water != nullptr) {
    const std::int32_t plane =
        AddWaterPlane(world, water->altitude, water->bumpScale, water->opacity[0],
                      water->opacity[1], water->colour[0], water->colour[1], water->colour[2]);
    if (plane < 0 || !AttachWaterPlane(world, plane)) return FailAt(file, kWaterPlaneTableFull);
  }
  HeightFieldClear(record);
  for (std::uint32_t i = 0; i < layerCount; ++i) {
    if (!AddLayer(file, record, gLayers[i])) return 0;
  }
  HeightFieldClamp(record);
  return 1;
}

}  // namespace

int ParseWaterPlane(SceneParser& parser, WaterPlane& plane) {
  SceneFile& file = InnermostFile(parser);
  SetErrorLocation(file, kWaterPlaneSyntaxError);
  if (!ExpectToken(parser, "WaterPlane")) return 0;
  if (gWorld.waterPlaneCount >= kWorldWaterPlaneMax) return FailAt(file, kWaterPlaneTableFull);
  if (!ExpectBrace(parser, "{")) return 0;
  plane = WaterPlane{};
  while (!BlockInputEnded(file) && !Is(file.token, "}")) {
    std::uint32_t lines[3];
    int ok;
    if (Is(file.token, "altitude")) {
      ok = ReadEntryFloats(parser, &plane.altitude, 1);
    } else if (Is(file.token, "bumpScale")) {
      ok = ReadEntryFloats(parser, &plane.bumpScale, 1, nullptr, lines) &&
           CheckMinimum(parser, &plane.bumpScale, 1, 0.0f, lines);
    } else if (Is(file.token, "color")) {
      ok = ReadEntryFloats(parser, plane.colour, 3, nullptr, lines) &&
           CheckMinimum(parser, plane.colour, 3, 0.0f, lines);
    } else if (Is(file.token, "opacity")) {
      ok = ReadEntryFloats(parser, plane.opacity, 2, nullptr, lines) &&
           CheckRange(parser, plane.opacity, 2, 0.0f, 1.0f, lines);
    } else {
      ok = FailAt(file, kWaterPlaneSyntaxError);
    }
    if (!ok) return 0;
  }
  if (!ExpectBrace(parser, "}")) return 0;
  return 1;
}

int ParseHeightField(SceneParser& parser, ParseStore&) {
  SceneFile& file = InnermostFile(parser);
  char name[kSceneTokenBytes];
  std::uint32_t line;
  if (!BeginNamedBlock(parser, "HeightField", kHeightFieldSyntaxError, name, &line)) return 0;
  if (!ExpectBrace(parser, "{")) return 0;
  std::uint32_t layerCount = 0;
  float box[6];
  bool boxRead = false;
  // A later BBox or WaterPlane replaces an earlier one.
  WaterPlane water{};
  bool waterRead = false;
  while (!BlockInputEnded(file) && !Is(file.token, "}")) {
    if (Is(file.token, "BBox")) {
      if (!ReadBoundingBox(parser, box)) return 0;
      boxRead = true;
    } else if (Is(file.token, "Layer")) {
      if (!ParseLayer(parser, file, layerCount)) return 0;
    } else {
      if (!ParseWaterPlane(parser, water)) return 0;
      waterRead = true;
    }
  }
  if (!Is(file.token, "}")) return FailAt(file, "'}' expected");
  if (!boxRead) {
    SetErrorAtLine(file, kBoundingBoxExpectedMessage, line);
    return 0;
  }
  ReadRawToken(parser);
  return BuildHeightField(file, name, box, layerCount, waterRead ? &water : nullptr);
}

}  // namespace veskor
