// The sky model: from the sun direction and the turbidity, the sky-dome cube map that the sky
// passes draw behind the scene, and the light colours of the scene (sunlight and sky ambient).
// The chromaticity follows the Perez distribution with the published daylight rows and zenith
// polynomials; the luminance is the system's own (a base level, a Gaussian sun spot and a
// Gaussian horizon band shaped by the Sky sunSpot and horizon values). Only the upper
// hemisphere is evaluated; the lower one mirrors it, faded towards grey.
//
// Cube faces 0 to 5 are -X, +X, -Y, +Y, -Z, +Z with z up. The texel directions are those of
// the face direction tables of the graphics core (gfx/face_directions.h), which must be built.
#pragma once

#include <cstdint>

#include "gfx/texture_object.h"

namespace veskor {

struct SkyModel {
  TextureCube cube;  // 3 float channels; texel (i, j) of a face at (j N + i) 3
  float perezY[5];   // the luminance row A..E
  float perezX[5];   // chromaticity x row
  float perezYc[5];  // chromaticity y row
  float zenithX, zenithY;
  float sunTheta;     // zenith angle of the sun, radians
  float sunCosTheta;  // its cosine (the z towards the sun)
  float sunPhi;       // azimuth of the sun, radians
  float colourSum[3];
  std::uint32_t colourCount;  // evaluated directions since the sums were cleared
};

// The program's sky, constructed before the program starts and released at normal exit.
extern SkyModel gSkyModel;

// Outputs of the last build. Before the first one the colours are black, SunLightScale is 0.8
// and SkyAmbientScale 0.2.
extern float SunLightColour[3];
extern float SkyAmbientColour[3];
extern float SunLightScale;
extern float SkyAmbientScale;

// Fills every face of the sized cube and the four light outputs. `sunDirection` points from
// the sun towards the scene; T is SkyModelTurbidity; the matrices (4 x 4, column-major) are
// those of the Sky DomeColorCorrection, Sky IlluColorCorrection and Sun IlluColorCorrection.
void BuildSkyMap(SkyModel& sky, const float* sunDirection, float T, const float* domeMatrix,
                 const float* skyMatrix, const float* sunMatrix);

// The three Perez rows: the system's luminance row (from the sun's zenith angle and the Sky
// horizon and sunSpot values; T unused) and the published chromaticity rows.
void PerezCoefficientsY(const SkyModel& sky, float T, float* out);
void PerezCoefficientsX(float T, float* out);
void PerezCoefficientsYc(float T, float* out);

// sum over r of t[r] (M[r][0] th^3 + M[r][1] th^2 + M[r][2] th + M[r][3]), t = (T^2, T, 1),
// th = (theta^3, theta^2, theta, 1) given as `thetaPowers`; M row-major, 3 rows of 4.
float ZenithPolynomial(const float* tPowers, const float* M, const float* thetaPowers);

// Luminance Y and the two chromaticity ratios (to the zenith value) of a unit direction with
// z >= 0. A Gaussian of zero width contributes nothing.
void SkyDistribution(const SkyModel& sky, const float* direction, float& Y, float& rx,
                     float& ry);

// The colour of a direction (black below the horizon); a z below 0.001 is raised to 0.001 in
// `direction`. The colour is added to the sums and the count rises by one.
void PerezEvaluate(SkyModel& sky, float* direction, const float* matrix, float* rgb);

float Max3(float a, float b, float c);

// The world direction of texel (i, j) of a face of the sky cube.
void CubeTexelDirection(const SkyModel& sky, std::uint32_t face, std::uint32_t i,
                        std::uint32_t j, float* out);

// The world direction of the face direction table entry t on a face.
void CubeFaceDirection(std::uint32_t face, const float* t, float* out);

}  // namespace veskor
