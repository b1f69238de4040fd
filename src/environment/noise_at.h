// One octave of the 3-D gradient noise of the program's noise generator at a point, with the
// generator's sampling transform: the low-cloud puff field shapes each puff's surface with it.
// A plain and an SSE member compute the same noise; NoiseAt takes the one the processor test
// chooses, call by call.
#pragma once

namespace veskor {

// The point p times the 3-D generator's per-axis scale plus its offset, on the lattice of
// 2^6 cells a unit; the value times the generator's value scale plus its value offset.
float NoiseAt(const float* p);

// The plain member takes the lattice cell with the tolerant floor of the noise generator (a
// negative coordinate within 1e-5 below an integer keeps that integer).
float NoiseAtPlain(const float* p);
// The SSE member converts to the cell rounding toward minus infinity and does its arithmetic
// in that rounding mode, as the other SSE members. Near a lattice plane the two take
// neighbouring cells; the noise is continuous there, so their values still agree.
float NoiseAtSse(const float* p);

}  // namespace veskor
