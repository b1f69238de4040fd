#include "render/renderer_globals.h"

#include <cstdlib>
#include <new>

#include "foundation/static_order.h"

namespace veskor {

VertexHash gVertexHash;  // zero-filled: the last two words of every entry are 0
std::uint32_t MeshBuilderSwitch = 0;

namespace {

struct VertexHashStartup {
  VertexHashStartup() {
    gVertexHash.generation = 1;
    gVertexHash.seed = 0;
    MeshBuilderSwitch = 1;
  }
};
VESKOR_STATIC_STEP(kStaticStepVertexHash) VertexHashStartup gVertexHashStartup;

alignas(Texture2D) unsigned char gContourStorage[sizeof(Texture2D)];
std::uint32_t gContourLive = 0;  // the guard bit

struct ContourStartup {
  ContourStartup() {
    new (gContourStorage) Texture2D();
    gContourLive = 1;
    std::atexit(ContourTextureRelease);
  }
};
VESKOR_STATIC_STEP(kStaticStepContourTexture) ContourStartup gContourStartup;

// The preparation's statics, in static storage built in place on first use.
alignas(OrthoPass) unsigned char gShadowStorage[sizeof(OrthoPass)];
alignas(Camera) unsigned char gEnvironmentStorage[sizeof(Camera)];
alignas(OrthoPass) unsigned char gWaterStorage[sizeof(OrthoPass)];
VertexGrid gShadeGridA;
VertexGrid gShadeGridB;
PixelRecord gLightScratch;
std::uint8_t gGuard = 0;

OrthoPass& Shadow() { return *std::launder(reinterpret_cast<OrthoPass*>(gShadowStorage)); }
Camera& Environment() { return *std::launder(reinterpret_cast<Camera*>(gEnvironmentStorage)); }
OrthoPass& Water() { return *std::launder(reinterpret_cast<OrthoPass*>(gWaterStorage)); }

void DestroyShadow() { Shadow().~OrthoPass(); }
void DestroyWater() { Water().~OrthoPass(); }
void ReleaseShadeGridA() { VertexGridRelease(gShadeGridA); }
void ReleaseShadeGridB() { VertexGridRelease(gShadeGridB); }
void ReleaseLightScratch() {
  MemBlockRelease(gLightScratch.block);
  gLightScratch.data = nullptr;
}

void BuildOrtho(unsigned char* storage) {
  auto* camera = new (storage) OrthoPass();
  OrthoCameraFrameSteps(*camera);
}

}  // namespace

Texture2D& ContourTexture() { return *std::launder(reinterpret_cast<Texture2D*>(gContourStorage)); }

void ContourTextureRelease() {
  if (gContourLive == 0) return;
  gContourLive = 0;
  Texture2DRelease(ContourTexture());
}

RenderPrepareStatics RenderPrepareBuildStatics() {
  if ((gGuard & 1) == 0) {
    gGuard |= 1;
    BuildOrtho(gShadowStorage);
    std::atexit(DestroyShadow);
  }
  if ((gGuard & 2) == 0) {
    gGuard |= 2;
    Camera* camera = new (gEnvironmentStorage) Camera();
    camera->imageBounds[0] = -1, camera->imageBounds[1] = 1;
    camera->imageBounds[2] = -1, camera->imageBounds[3] = 1;
    CameraFrameSteps(*camera);
  }
  if ((gGuard & 4) == 0) {
    gGuard |= 4;
    BuildOrtho(gWaterStorage);
    std::atexit(DestroyWater);
  }
  if ((gGuard & 8) == 0) {
    gGuard |= 8;
    VertexGridInit(gShadeGridA);
    std::atexit(ReleaseShadeGridA);
  }
  if ((gGuard & 16) == 0) {
    gGuard |= 16;
    VertexGridInit(gShadeGridB);
    std::atexit(ReleaseShadeGridB);
  }
  if ((gGuard & 32) == 0) {
    gGuard |= 32;
    MemBlockInit(gLightScratch.block);
    gLightScratch.data = nullptr;
    gLightScratch.log2Width = gLightScratch.log2Height = 0;
    std::atexit(ReleaseLightScratch);
  }
  return {&Shadow(), &Environment(), &Water(), &gShadeGridA, &gShadeGridB, &gLightScratch};
}

std::uint8_t RenderPrepareGuard() { return gGuard; }

}  // namespace veskor
