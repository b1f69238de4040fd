// The World: the one store of everything a world file describes apart from the fx definitions
// (those are the ParseStore's): models, compositions, objects, height fields and water planes,
// planets, information records, cameras and examine points with their images, sound banks,
// the level-of-detail keys, the extent and the level-of-detail boxes, and the name tables of
// the named records. Every table is a fixed array followed by its record count; the block
// parsers fill them, the scene build, the render session and the interface read them. Emptied
// and given the five built-in models again before every parse (RegisterBuiltinFunctions).
//
// The environment parameters and their binding table are the environment folder's, which
// needs nothing of the language: the World holds the table and the Environment block writes
// through it, so this folder links the environment one.
#pragma once

#include <cstdint>

#include "environment/environment_params.h"
#include "gfx/camera.h"
#include "gfx/lod_boxes.h"
#include "gfx/scene_grid.h"
#include "gfx/texture_object.h"
#include "gfx/transform_node.h"
#include "language/edge_curve.h"
#include "language/name_table.h"
#include "language/sample_bank.h"
#include "mapengine/vertex_grid.h"

namespace veskor {

inline constexpr std::uint32_t kWorldVersionMax = 16;
inline constexpr std::uint32_t kWorldModelMax = 512;
inline constexpr std::uint32_t kWorldObjectTransformMax = 256;
inline constexpr std::uint32_t kWorldCompositionTransformMax = 512;
inline constexpr std::uint32_t kWorldCompositionOperationMax = 512;
inline constexpr std::uint32_t kWorldCompositionElementMax = 512;
inline constexpr std::uint32_t kWorldCompositionMax = 512;
inline constexpr std::uint32_t kWorldObjectCallMax = 10000;
inline constexpr std::uint32_t kWorldObjectMax = 10000;
inline constexpr std::uint32_t kWorldSceneInstanceMax = 10000;
inline constexpr std::uint32_t kWorldHeightFieldMax = 64;
inline constexpr std::uint32_t kWorldWaterPlaneMax = 16;
inline constexpr std::uint32_t kWorldPlanetMax = 32;
inline constexpr std::uint32_t kWorldInfoMax = 32;
inline constexpr std::uint32_t kWorldCameraMax = 32;
inline constexpr std::uint32_t kWorldSnapshotMax = 32;
inline constexpr std::uint32_t kWorldExamineMax = 32;
inline constexpr std::uint32_t kWorldSoundBankMax = 16;
inline constexpr std::uint32_t kWorldStringBytes = 512;
inline constexpr std::uint16_t kNoTransform = 0xFFFF;

// Name tables: entry slots and store sizes (NameStoreBytes).
inline constexpr std::uint32_t kWorldItemNameSlots = 512;  // models, compositions, height fields
inline constexpr std::uint32_t kWorldItemNameBytes = 128 * 1024;
inline constexpr std::uint32_t kWorldViewNameSlots = 32;  // cameras, examine points
inline constexpr std::uint32_t kWorldViewNameBytes = 16 * 1024;

// The extent box and the focus boxes go into level-of-detail lists 3 and 4, one record each,
// so at most this many focus boxes fit beside the extent.
inline constexpr std::uint32_t kWorldFocusBoxLimit = kLodBoxListCapacity - 1;
inline constexpr const char* kTooManyFocusBoxesMessage = "Too many focus boxes";

// One key set of a `LOD` block; the key position first.
struct LodKeySet {
  float position;
  float terrain[2];
  float object[2];
  float cloudLow;
  float portal;
};

// Kind, index, a third field and a transform index: an operand of a composition (kind 1 or 2
// an operator node, 3 a model, 4 a height field) and an object call (0 a composition, 3 a
// model, 4 a height field).
struct ItemReference {
  std::uint16_t kind;
  std::uint16_t index;
  std::uint16_t third;
  std::uint16_t transform;  // kNoTransform for none
};
using ObjectCall = ItemReference;

struct CompositionOperation {
  ItemReference header;  // kind 1 or 2; index: 0 for `+` and `min`, 1 for `-` and `max`
  ItemReference first;
  ItemReference second;
  std::uint16_t spare[4];
};

// A record of the composition element list or of the composition list.
struct SceneBuildRecord {
  std::uint16_t kind;  // 1 element (3 or 4 for a leaf once known), 0 composition
  std::uint16_t index;
  std::uint16_t third;
  std::uint16_t transform;  // kNoTransform at creation
  std::uint16_t first;      // first operation (element) or element (composition)
  std::uint16_t end;        // one past the last
};

// One `Object` block.
struct ObjectRecord {
  std::uint16_t kind;     // 5
  std::uint16_t fxIndex;  // its fx definition, 0xFFFF for none
  std::uint16_t third;
  std::uint16_t fourth;  // 0xFFFF at creation
  std::uint16_t firstCall;
  std::uint16_t endCall;
};

// One generated item of the scene build (the renderer's scene object): the draw-item leaf
// registration initialises it, the scene build stores its fx and vertex format, the item
// geometry fills the rest, and the renderer draws it through its batch item records
// (firstBatchItem and on, batchItemCount long; item firstItem and on for the skins).
struct SceneInstance {
  std::uint32_t firstBatchItem;
  std::uint32_t batchItemCount;
  std::uint32_t firstItem;
  std::uint32_t entryCount;  // path-set entries of the node it was emitted from
  TransformNode transform;
  std::uint32_t flags;  // bit 0 lit from the sun's depth view; bit 2 normals, environment cube
  std::uint32_t vertexFormat;
  std::uint16_t fxIndex;  // 0xFFFF: none
  std::uint32_t spare;
  float shininess;
  SceneGridItem grid;  // the box (x min, x max, y min, y max, z min, z max) and its cells
  float meanNormal[3];
  float coneAngle;  // radians
  std::uint8_t connected;
  std::int32_t neighbours[4];  // items on the first column, last column, first and last row
  std::uint32_t visible;
  std::uint32_t drawMode;  // low three bits
};
using SceneObject = SceneInstance;

inline constexpr std::uint32_t kHeightFieldWaterMax = 32;

struct HeightFieldRecord {
  VertexGrid grid;  // the heights
  float box[6];     // x min, z min, y min, x max, z max, y max: (0, 0, 0) to (1, 1, 1) at first
  float cellSizeX;
  float heightSpan;
  float cellSizeY;
  std::uint32_t waterPlanes[kHeightFieldWaterMax];
  std::uint32_t waterPlaneCount;
  std::uint32_t layered;  // 1 once a layer has put heights into the grid since it was cleared
};

struct WaterPlane {
  float x0, y0, altitude, x1, y1;
  float bumpScale;
  float colour[3];
  float opacity[2];
};

struct PlanetRecord {
  char colour[kWorldStringBytes];  // image file names
  char mask[kWorldStringBytes];
  float direction[3];
  float angularSize;
  float saturation;
  float intensity;
  float ringSize;
  float fadeMinMax[2];
};

struct InfoRecord {
  char title[kWorldStringBytes];
  char author[kWorldStringBytes];
  char date[kWorldStringBytes];
  char comment[kWorldStringBytes];
  char fileName[kWorldStringBytes];  // the world file whose `Info` block made the record
};

struct ExamineRecord {
  float position[3];
  float radius;
  float yaw;    // cleared at creation
  float pitch;  // cleared at creation
  float focalAngle;
};

// Built-in models, in the order of World::builtinModels.
enum : std::uint32_t {
  kBuiltinSphere = 0,
  kBuiltinCube = 1,
  kBuiltinCylinder = 2,
  kBuiltinCone = 3,
  kBuiltinPyramid = 4,
  kBuiltinModelCount = 5
};

inline constexpr std::uint32_t kCompileMessageBytes = 64;

struct World {
  World();
  ~World();
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  std::uint32_t versionNumbers[kWorldVersionMax]{};
  std::uint32_t versionCount{};
  std::uint32_t lodBlock{};  // 1 once a `LOD` block was read
  LodKeySet lodMinimum{};    // 0.0 when no `LOD` block set it
  LodKeySet lodMaximum{};    // 1.0 likewise
  EdgeCurveList models[kWorldModelMax]{};
  std::uint32_t modelCount{};
  std::uint32_t builtinModels[kBuiltinModelCount]{};
  TransformNode objectTransforms[kWorldObjectTransformMax]{};  // axis (0, 0, 1)
  std::uint16_t objectTransformCount{};
  TransformNode compositionTransforms[kWorldCompositionTransformMax]{};  // axis (1, 1, 1)
  std::uint16_t compositionTransformCount{};
  CompositionOperation compositionOperations[kWorldCompositionOperationMax]{};
  std::uint16_t compositionOperationCount{};
  SceneBuildRecord compositionElements[kWorldCompositionElementMax]{};
  std::uint16_t compositionElementCount{};
  SceneBuildRecord compositions[kWorldCompositionMax]{};
  std::uint16_t compositionCount{};
  ObjectCall objectCalls[kWorldObjectCallMax]{};
  std::uint16_t objectCallCount{};
  ObjectRecord objects[kWorldObjectMax]{};
  std::uint16_t objectCount{};
  SceneInstance sceneInstances[kWorldSceneInstanceMax]{};  // numbered from 1
  std::uint16_t sceneInstanceCount{};
  HeightFieldRecord heightFields[kWorldHeightFieldMax]{};
  std::uint32_t heightFieldCount{};
  WaterPlane waterPlanes[kWorldWaterPlaneMax]{};
  std::uint32_t waterPlaneCount{};
  // The addresses of the environment values, one per `Environment` key: the environment
  // defaults fill them before every parse, the `Environment` block writes through them.
  EnvironmentBindings environment{};
  PlanetRecord planets[kWorldPlanetMax]{};
  std::uint16_t planetCount{};
  InfoRecord infos[kWorldInfoMax]{};
  std::uint16_t infoCount{};
  Camera currentCamera;
  Camera cameras[kWorldCameraMax];
  Texture2D cameraThumbnails[kWorldCameraMax];
  std::uint16_t cameraCount{};
  Camera snapshots[kWorldSnapshotMax];  // bookmark views of the current camera
  Texture2D snapshotImages[kWorldSnapshotMax];
  std::uint16_t snapshotCount{};
  ExamineRecord examines[kWorldExamineMax]{};
  Texture2D examineImages[kWorldExamineMax];
  std::uint16_t examineCount{};
  SampleBank soundBanks[kWorldSoundBankMax];
  std::uint16_t soundBankCount{};
  // The extent record (box and the detail values a, b, c, d), the four level-of-detail box
  // lists and the focus boxes.
  WorldLodBoxes lod{};
  NameTable modelNames{};
  NameTable compositionNames{};
  NameTable heightFieldNames{};
  NameTable cameraNames{};
  NameTable examineNames{};
  // The selected transition target over cameras, examine points and views in that order, -1
  // for none, and the distance the camera moves towards it per frame (the shell sets 50.0
  // whenever it selects one); camera_motion.h carries the transition out.
  std::int32_t transitionTarget = -1;
  float transitionStep{};
  ExamineRecord orbitState{};  // the live orbit the examine transitions move the camera on
  char compileMessage[kCompileMessageBytes]{};
};

// The program's world.
extern World gWorld;

// Empties the whole World before a parse: name tables, level-of-detail lists, model curves,
// transforms, height-field grids, thumbnails and images, every record count, the version and
// the level-of-detail keys. Every camera and view snapshot record is made a new Camera, so
// nothing of the previous world's views leaks into the next. The sound banks are only counted
// out.
void WorldClearModels(World& world);

// Adds the five built-in models (Sphere, Cube, Cylinder, Pyramid, Cone: indices 0 to 4 after
// a clear) and records their indices.
void RegisterBuiltinModels(World& world);

// Enters `name` in the model names with the model count as value and gives the next model n
// empty Edges; returns that list, counted. Null, adding nothing, when the model table or the
// name table is full.
EdgeCurveList* WorldAddModel(World& world, std::uint32_t n, const char* name);

// The six detail values for the detail setting t, interpolated between the LOD key sets and
// clamped to [0, 1]: terrain geometry, terrain texture, object geometry, object texture,
// portal, low clouds. Equal key positions give the minimum set.
void WorldInterpolateKeys(const World& world, float t, float* terrainGeometry,
                          float* terrainTexture, float* objectGeometry, float* objectTexture,
                          float* portal, float* cloudLow);

// Stores the extent box and the values a, b, c, d; adds the box and then every focus box to
// level-of-detail list 3 with value c and to list 4 with d (as far as the lists have room);
// then, when the world has cameras, applies camera 0 as the current camera and restores the
// GL state the apply changed. No camera selected afterwards.
void WorldSetExtent(World& world, float x0, float y0, float z0, float x1, float y1, float z1,
                    float a, float b, float c, float d);

// Appends a focus box (min-max layout). False, adding nothing, once kWorldFocusBoxLimit boxes
// are held: the `Focus` parser then fails with kTooManyFocusBoxesMessage.
bool FocusBoxAdd(World& world, float x0, float y0, float z0, float x1, float y1, float z1);

}  // namespace veskor
