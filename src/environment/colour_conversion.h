// Colour conversion of the sky model: a luminance Y with chromaticity (x, y) becomes the linear
// RGB stored in the sky cube, through the system's own chromaticity-to-RGB matrix, a
// desaturation that brings colours outside the RGB gamut back inside, the luminance scaling
// and an optional colour-correction matrix.
#pragma once

namespace veskor {

// (r, g, b) = K M (x, y, z) with K = 4.7653084, evaluated in the grouping the sky colours were
// tuned with. Multiplied out, the rows are (2.142244, -0.931380, -0.288063),
// (-1.204193, 2.203002, -0.060519), (0.061949, -0.271623, 1.348582).
void ConvertColourTriple(float x, float y, float z, float& r, float& g, float& b);

// The RGB colour of (Y, x, y): converted with z = 1 - x - y; when a component is negative the
// colour is desaturated towards white until the most negative one is exactly 0 and then
// clamped to [0, 1] (a colour inside the gamut is not clamped); scaled by Y; and, when
// `matrix` (4 x 4, column-major) is not null, transformed as a point through the kernel table.
void YxyToRgb(float Y, float x, float y, const float* matrix, float& r, float& g, float& b);

}  // namespace veskor
