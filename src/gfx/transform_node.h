// Transform nodes: the placement of one object, height field or composition (a rotation about
// an axis through the origin, then a translation), with its matrix and inverse recomputed on
// demand; and the small vector and matrix helpers the graphics core shares. The world parser
// sets the nodes; the scene build, geometry generation and render preparation read them.
#pragma once

#include <cstdint>

namespace veskor {

// Matrices are 16 floats in column-major order: row i, column j is element i + 4j, the
// translation in elements 12 to 14.
struct TransformNode {
  std::int32_t identity;  // 1 until a parameter is set or the matrices recomputed
  std::int32_t dirty;     // non-zero: the matrices must be recomputed before use
  float matrix[16];       // node space to world space
  float inverse[16];      // world space to node space
  float axis[3];          // unit vector when set through TransformNodeSetRotation
  float angle;            // degrees
  float translation[3];
};

// Identity matrices, axis (0, 0, 1), angle 0, translation 0; identity flag 1, clean.
void TransformNodeInit(TransformNode& node);
// The same with the axis (1, 1, 1) (the compositions' default).
void TransformNodeInitUnit(TransformNode& node);
std::int32_t TransformNodeFlag(const TransformNode& node);
// The matrix and the inverse, recomputing both first when the node is dirty.
const float* TransformNodeMatrix(TransformNode& node);
const float* TransformNodeMatrix2(TransformNode& node);
// Recomputes both matrices in double precision, with exact values at the right angles.
void TransformNodeUpdate(TransformNode& node);

// The setters of the world parser; both make the node dirty and not the identity. The axis is
// stored divided by its length; a zero axis has no direction and leaves the axis as it was.
void TransformNodeSetTranslation(TransformNode& node, float x, float y, float z);
void TransformNodeSetRotation(TransformNode& node, float x, float y, float z, float degrees);

// Cosine and sine of an angle in degrees, exact at the right angles the world parser writes:
// 0, 90, 180 and 270 within 0.00001, and -90 within 0.0005.
void CosSinDegrees(double degrees, double& co, double& si);
// *out = a . b; returns out.
float* Dot3(float* out, const float* a, const float* b);
// *out = element (i, j) of a x b, for column-major 4 x 4 matrices.
void MatrixProductElement(int i, int j, double* out, const double* a, const double* b);
// The same on floats, summed in double and stored as a float.
void MatrixProductElementF(int i, int j, float* out, const float* a, const float* b);

}  // namespace veskor
