// The order in which the program's global objects are built before the entry point, in one
// place. C++ orders the construction of globals only within a file; each of these objects is
// defined with VESKOR_STATIC_STEP(step) in its own file, and the steps below run in increasing
// order, all of them before any global without a step. A global is destroyed at normal exit in
// the reverse order of construction, so the renderer's objects are destroyed from the last step
// back, before the memory manager's release, which is registered first (it is built at the
// first priority the toolchain allows, 101, in heap_areas.cpp); the quick and fatal exits run
// no destructor at all.
//
// The numbers are init_priority values. Steps marked "constant" name objects whose initial
// state is compile-time data (no code runs); they keep their place in the list for reading.
#pragma once

namespace veskor {

enum StaticStep : int {
  kStaticStepMemoryManager = 101,
  // The renderer's block.
  kStaticStepVertexHash = 102,         // 1: weld hash tables and the mesh builder's switch word
  kStaticStepContourTexture = 103,     // 2
  kStaticStepDrawItems = 104,          // 3: the transform nodes of the draw items
  kStaticStepRefinedEdgeLists = 105,   // 4
  kStaticStepObjectPathSets = 106,     // 5 (object and item sets share one file: 5 then 6)
  kStaticStepItemPathSets = 107,       // 6
  kStaticStepSliceTables = 108,        // 7
  kStaticStepSkinSlots = 109,          // 8
  kStaticStepSkinWork = 110,           // 9
  kStaticStepTransformGlobal = 111,    // 10
  kStaticStepLodTransforms = 112,      // 11-14: the four level-of-detail settings, in order
  kStaticStepBatchBuffer = 113,        // 15
  kStaticStepPortals = 114,            // 16
  kStaticStepSceneGrid = 115,          // 17
  kStaticStepColourCorrections = 116,  // 18-20: constant
  kStaticStepLightRayTexture = 117,    // 21
  kStaticStepLensFlareImages = 118,    // 22
  kStaticStepItemImages = 119,         // 23: the scene textures of planets and moons
};

}  // namespace veskor

#define VESKOR_STATIC_STEP(step) __attribute__((init_priority(::veskor::step)))
