// Periodic 2-D gradient noise on a lattice of 2^px x 2^py cells over the unit square, from the
// noise generator's permutation and 2-D gradients: the high clouds sum octaves of it into a
// tiling texture, and the water pass of the renderer uses it for its wave octaves.
#pragma once

#include <cstdint>

namespace veskor {

// The noise at (x, y): x scaled by 2^px and y by 2^py, the lattice cell taken with
// NoiseFloorTol (a negative coordinate within 1e-5 below an integer keeps that integer), the
// cell's corners wrapped by the periods and hashed through the permutation, the corner
// gradients blended with the weights (3 - 2f) f^2. Zero at every lattice point; x and x + 1
// (y and y + 1) give the same value. px and py below 24.
float NoiseLatticeLookup(std::uint32_t px, std::uint32_t py, float x, float y);

}  // namespace veskor
