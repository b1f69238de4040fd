// The level-of-detail settings of the geometry refinement: a LodRange followed by the
// TransformNode that takes curve points to the space of its boxes, and the four records the
// render session fills for terrain and object geometry and textures.
//
// The render session owns these records, but the renderer sits above the geometry in the
// folder graph and the edge-curve and cross-section refinement read them: they are defined
// here so both can reach them. The render session set-up fills the ranges; the scene build
// copies the instance transform into their nodes.
#pragma once

#include "gfx/lod_boxes.h"
#include "gfx/transform_node.h"

namespace veskor {

struct SubdivisionSettings {
  LodRange range;
  TransformNode transform;  // identity flag set: points are used as they are
};

// Geometry and skin resolution of terrain tiles and of objects. Ranges without a list until
// the first render session; identity nodes (TransformNodeInit).
extern SubdivisionSettings gTerrainGeometryLod;
extern SubdivisionSettings gTerrainTextureLod;
extern SubdivisionSettings gObjectGeometryLod;
extern SubdivisionSettings gObjectTextureLod;

}  // namespace veskor
