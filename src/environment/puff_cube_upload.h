// The last step of the low-cloud stage: the two cube textures of every puff made ready for the
// puff drawing and uploaded. The shape cube keeps its faces (the light shafts, the sun's ray
// query and the sun view read it on the CPU); the light cube is made seamless, smoothed and
// uploaded, and its faces are freed.
#pragma once

#include "environment/environment_state.h"

namespace veskor {

// For every cluster and member puff: the shape cube gets bilinear filtering without mip levels
// and clamped wrapping and is uploaded; the light cube gets its shared edges averaged
// (CubeEdgeAverage), four smoothing passes (TextureCubeSmoothPass), the same filter and wrap,
// the upload, and its faces freed. Without a current GL context (tests of the stage) nothing is
// uploaded and the light cube keeps its faces for a later upload.
void SetupPuffPasses(CloudLowLayer& layer);

}  // namespace veskor
