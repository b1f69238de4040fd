// The open face of the network builders: the corners of the one face under construction and
// the group counter, a single state for the whole program. Written by MeshNetwork's
// BeginNetworkFace, AddNetworkFaceCorner and CloseNetworkFace; NetworkPass reads the counter.
#pragma once

#include <cstdint>

#include "meshlib/mesh_network.h"

namespace veskor {

struct NetworkOpenFace {
  std::uint32_t openCornerCount;  // corners recorded for the open face
  // The group counter: the open face takes its low 8 bits as its group when closed. Never
  // reset by the library; each NetworkPass advances it by two.
  std::uint16_t openGroup;
  // Per corner i, also for the edge from corner i to corner i + 1.
  std::uint32_t cornerOverride[kMaxFaceCorners];  // 1: the sharpness replaces an edge's own
  float cornerU[kMaxFaceCorners];
  float cornerV[kMaxFaceCorners];
  float cornerSharpness[kMaxFaceCorners];
};

extern NetworkOpenFace gNetworkOpenFace;

}  // namespace veskor
