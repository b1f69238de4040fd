#include "language/descriptive_blocks.h"

#include <cstddef>
#include <cstring>

#include "gfx/camera.h"
#include "language/block_entries.h"
#include "language/lexer.h"
#include "language/name_table.h"
#include "language/scene_blocks.h"
#include "language/value_readers.h"
#include "language/world.h"
#include "mapengine/clamp_float.h"

namespace veskor {
namespace {

bool Is(const char* token, const char* text) { return std::strcmp(token, text) == 0; }

// The block's syntax error first, then its keyword.
int BeginBlock(SceneParser& parser, const char* keyword, const char* syntaxError) {
  SetParseError(parser, syntaxError);
  return ExpectToken(parser, keyword);
}

// A table that holds `capacity` records refuses the block, at the line of its keyword.
int CheckRoom(SceneFile& file, std::uint32_t count, std::uint32_t capacity, const char* message,
              std::uint32_t line) {
  if (count < capacity) return 1;
  SetErrorAtLine(file, message, line);
  return 0;
}

// The name token of a `Camera` or `Examine` entered in `names` with the record index `count`,
// unless the table already holds `capacity` records; then the name is passed.
int EnterName(SceneParser& parser, NameTable& names, std::uint32_t count, std::uint32_t capacity,
              const char* fullMessage, std::uint32_t line) {
  SceneFile& file = InnermostFile(parser);
  if (!CheckRoom(file, count, capacity, fullMessage, line)) return 0;
  if (!NameTableInsert(names, file.token, &count)) return FailAt(file, kNameTableFullMessage);
  ReadRawToken(parser);
  return 1;
}

// `focalAngle` ( degrees ) in [kFocalAngleMin, kFocalAngleMax]; an angle out of it is refused
// at its own line.
int ReadFocalAngle(SceneParser& parser, float& angle) {
  float value = angle;
  std::uint32_t line;
  if (!ReadEntryFloats(parser, &value, 1, nullptr, &line) ||
      !CheckRange(parser, &value, 1, kFocalAngleMin, kFocalAngleMax, &line))
    return 0;
  angle = value;
  return 1;
}

int ReadCameraKey(SceneParser& parser, Camera& camera) {
  SceneFile& file = InnermostFile(parser);
  const std::uint32_t line = file.tokenLine;  // the entry's
  if (Is(file.token, "position")) return ReadEntryFloats(parser, camera.position, 3);
  if (Is(file.token, "direction")) {
    if (!ReadEntryFloats(parser, camera.direction, 3)) return 0;
    camera.mode = kCameraLookAt;
    const double d[3] = {camera.direction[0], camera.direction[1], camera.direction[2]};
    if (!CheckDirection(parser, d, camera.direction, line)) return 0;
    CameraFrameSteps(camera);
    return 1;
  }
  if (Is(file.token, "lookAt")) {
    // A component not given leaves that component of the direction as it is.
    float target[3];
    for (int i = 0; i < 3; ++i) target[i] = camera.position[i] + camera.direction[i];
    std::uint32_t given = 0;
    if (!ReadEntryFloats(parser, target, 3, &given)) return 0;
    // In double: a target far from the position gives a difference beyond the float range.
    double d[3];
    for (std::uint32_t i = 0; i < 3; ++i)
      d[i] = i < given ? double{target[i]} - camera.position[i] : camera.direction[i];
    if (!CheckDirection(parser, d, camera.direction, line)) return 0;
    CameraFrameSteps(camera);
    return 1;
  }
  float value;
  std::uint32_t given = 0;
  if (Is(file.token, "depth")) {
    if (!ReadEntryFloats(parser, &value, 1, &given)) return 0;
    if (given != 0) camera.depth = ClampFloat(value, kCameraDepthMin, kCameraDepthMax);
    return 1;
  }
  if (Is(file.token, "focalAngle")) {
    if (!ReadFocalAngle(parser, camera.focalAngle)) return 0;
    camera.fovy = camera.focalAngle;
    return 1;
  }
  if (Is(file.token, "rollAngle")) {
    if (!ReadEntryFloats(parser, &value, 1, &given)) return 0;
    if (given != 0) {
      camera.roll = value * kDegreesToRadians;
      CameraApplyRoll(camera);
    }
    return 1;
  }
  return FailAt(file, kCameraSyntaxError);
}

int ReadExamineKey(SceneParser& parser, ExamineRecord& record) {
  SceneFile& file = InnermostFile(parser);
  if (Is(file.token, "position")) return ReadEntryFloats(parser, record.position, 3);
  if (Is(file.token, "radius")) return ReadEntryFloats(parser, &record.radius, 1);
  if (Is(file.token, "focalAngle")) return ReadFocalAngle(parser, record.focalAngle);
  // A key the block does not know, at its own line.
  SetErrorAtLine(file, kExamineSyntaxError, file.currentTokenLine);
  return 0;
}

struct LodKey {
  const char* name;
  bool maximum;
  std::size_t offset;  // of the first float written within the key set
  std::uint32_t count;
};
constexpr LodKey kLodKeys[] = {
    {"min", false, offsetof(LodKeySet, position), 1},
    {"minTerrain", false, offsetof(LodKeySet, terrain), 2},
    {"minObject", false, offsetof(LodKeySet, object), 2},
    {"minCloudLow", false, offsetof(LodKeySet, cloudLow), 1},
    {"minPortal", false, offsetof(LodKeySet, portal), 1},
    {"max", true, offsetof(LodKeySet, position), 1},
    {"maxTerrain", true, offsetof(LodKeySet, terrain), 2},
    {"maxObject", true, offsetof(LodKeySet, object), 2},
    {"maxCloudLow", true, offsetof(LodKeySet, cloudLow), 1},
    {"maxPortal", true, offsetof(LodKeySet, portal), 1},
};

int ReadInfoKey(SceneParser& parser, InfoRecord& record) {
  SceneFile& file = InnermostFile(parser);
  if (Is(file.token, "title")) return ReadEntryString(parser, record.title);
  if (Is(file.token, "author")) return ReadEntryString(parser, record.author);
  if (Is(file.token, "date")) return ReadEntryString(parser, record.date);
  if (Is(file.token, "comment")) return ReadEntryString(parser, record.comment);
  return FailAt(file, kInfoSyntaxError);
}

int ReadPlanetKey(SceneParser& parser, PlanetRecord& planet) {
  SceneFile& file = InnermostFile(parser);
  if (Is(file.token, "color")) return ReadEntryString(parser, planet.colour);
  if (Is(file.token, "mask")) return ReadEntryString(parser, planet.mask);
  if (Is(file.token, "direction")) return ReadEntryFloats(parser, planet.direction, 3);
  if (Is(file.token, "angularSize")) return ReadEntryFloats(parser, &planet.angularSize, 1);
  if (Is(file.token, "saturation")) return ReadEntryFloats(parser, &planet.saturation, 1);
  if (Is(file.token, "intensity")) return ReadEntryFloats(parser, &planet.intensity, 1);
  if (Is(file.token, "ringSize")) return ReadEntryFloats(parser, &planet.ringSize, 1);
  if (Is(file.token, "fadeMinMax")) return ReadEntryFloats(parser, planet.fadeMinMax, 2);
  return FailAt(file, kPlanetSyntaxError);
}

// Reads the entries of a block up to its closing brace with `readKey`.
template <typename ReadKey>
int ReadEntries(SceneParser& parser, ReadKey readKey) {
  if (!ExpectBrace(parser, "{")) return 0;
  SceneFile& file = InnermostFile(parser);
  while (!BlockInputEnded(file) && !Is(file.token, "}")) {
    if (!readKey()) return 0;
  }
  return ExpectBrace(parser, "}");
}

}  // namespace

int ParseCamera(SceneParser& parser, ParseStore&) {
  World& world = gWorld;
  const std::uint32_t line = InnermostFile(parser).tokenLine;
  if (!BeginBlock(parser, "Camera", kCameraSyntaxError)) return 0;
  if (!EnterName(parser, world.cameraNames, world.cameraCount, kWorldCameraMax,
                 kTooManyCamerasMessage, line))
    return 0;
  Camera& camera = world.cameras[world.cameraCount++];
  camera = Camera();
  CameraInit(camera, nullptr);
  return ReadEntries(parser, [&] { return ReadCameraKey(parser, camera); });
}

int ParseExamine(SceneParser& parser, ParseStore&) {
  World& world = gWorld;
  const std::uint32_t line = InnermostFile(parser).tokenLine;
  if (!BeginBlock(parser, "Examine", kExamineSyntaxError)) return 0;
  if (!EnterName(parser, world.examineNames, world.examineCount, kWorldExamineMax,
                 kTooManyExaminesMessage, line))
    return 0;
  // Every entry is optional: a point without `position` is the origin.
  ExamineRecord& record = world.examines[world.examineCount++];
  record = ExamineRecord{};
  record.radius = kExamineRadiusDefault;
  record.focalAngle = Camera().focalAngle;
  return ReadEntries(parser, [&] { return ReadExamineKey(parser, record); });
}

int ParseFocus(SceneParser& parser, ParseStore&) {
  SceneFile& file = InnermostFile(parser);
  const std::uint32_t line = file.tokenLine;
  if (!BeginBlock(parser, "Focus", kFocusSyntaxError)) return 0;
  float box[6];
  bool boxRead = false;
  const int read = ReadEntries(parser, [&] {
    if (!Is(file.token, "BBox")) return FailAt(file, kFocusSyntaxError);
    boxRead = true;
    return ReadBoundingBox(parser, box);
  });
  if (!read) return 0;
  // A focus block without a box would append an undefined one.
  if (!boxRead) {
    SetErrorAtLine(file, kBoundingBoxExpectedMessage, line);
    return 0;
  }
  if (!FocusBoxAdd(gWorld, box[0], box[1], box[2], box[3], box[4], box[5])) {
    SetErrorAtLine(file, kTooManyFocusBoxesMessage, line);
    return 0;
  }
  return 1;
}

int ParseLOD(SceneParser& parser, ParseStore&) {
  World& world = gWorld;
  if (!BeginBlock(parser, "LOD", kLodSyntaxError)) return 0;
  world.lodBlock = 1;
  SceneFile& file = InnermostFile(parser);
  return ReadEntries(parser, [&] {
    for (const LodKey& key : kLodKeys) {
      if (!Is(file.token, key.name)) continue;
      LodKeySet& set = key.maximum ? world.lodMaximum : world.lodMinimum;
      auto* values = reinterpret_cast<float*>(reinterpret_cast<char*>(&set) + key.offset);
      return ReadEntryFloats(parser, values, key.count);
    }
    return FailAt(file, kLodSyntaxError);
  });
}

int ParseInfo(SceneParser& parser, ParseStore&) {
  World& world = gWorld;
  SceneFile& file = InnermostFile(parser);
  const std::uint32_t line = file.tokenLine;
  if (!BeginBlock(parser, "Info", kInfoSyntaxError)) return 0;
  if (!CheckRoom(file, world.infoCount, kWorldInfoMax, kTooManyInfosMessage, line)) return 0;
  InfoRecord& record = world.infos[world.infoCount++];
  record.title[0] = record.author[0] = record.date[0] = record.comment[0] = '\0';
  std::memcpy(record.fileName, file.fileName, sizeof file.fileName);
  return ReadEntries(parser, [&] { return ReadInfoKey(parser, record); });
}

int ParsePlanet(SceneParser& parser, ParseStore&) {
  World& world = gWorld;
  SceneFile& file = InnermostFile(parser);
  const std::uint32_t line = file.tokenLine;
  if (!BeginBlock(parser, "Planet", kPlanetSyntaxError)) return 0;
  if (!CheckRoom(file, world.planetCount, kWorldPlanetParseMax, kTooManyPlanetsMessage, line))
    return 0;
  PlanetRecord& planet = world.planets[world.planetCount++];
  planet = PlanetRecord{};
  planet.ringSize = kPlanetRingSizeDefault;
  return ReadEntries(parser, [&] { return ReadPlanetKey(parser, planet); });
}

}  // namespace veskor
