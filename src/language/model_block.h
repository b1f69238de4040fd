// The `Model` block: `Model` name `{` `Edge` `{` point ... `}` ... `}`, one shape as a set of
// Edge polylines appended to the World's model table under its name. The directive loop hands
// the block to ParseModel (scene_blocks.h); compositions and objects call the model by name.
#pragma once

#include <cstdint>

namespace veskor {

// What one block may hold. The geometry builds at most 16 Edges a model and reads the first,
// second and last point of every Edge, so a shape outside these bounds is refused here.
inline constexpr std::uint32_t kModelPointMax = 512;  // points of one block, all Edges
inline constexpr std::uint32_t kModelEdgeMax = 16;
inline constexpr std::uint32_t kModelEdgeMinPoints = 2;
// The fifth component of a point (the crease of the cross-section corner its Edge forms) is
// stored in the 16-bit packed values of the cross-sections, which hold magnitudes below 32,
// and lowered by one per refinement level: it is kept in [0, 31]. A crease above 1 keeps the
// corner sharp through every level and one below 0 acts as 0, so nothing a world can mean is
// lost.
inline constexpr float kModelCreaseMax = 31.0f;

inline constexpr const char* kModelSyntaxError = "Model syntax error";
inline constexpr const char* kModelTooManyPoints = "Too many points in Model";
inline constexpr const char* kModelTooManyEdges = "Too many Edges in Model";
inline constexpr const char* kModelShortEdge = "Edge with fewer than 2 points";
inline constexpr const char* kModelTableFull = "Too many models";

}  // namespace veskor
