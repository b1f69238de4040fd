// MeshNetwork: the mesh library's polygon network of vertices, edges, faces (3 to 8 corners) and
// groups, all four arrays end to end in one MemBlock, the records pointing at each other with
// plain pointers into that block. Built face by face (network_build.cpp, network_pass.cpp) and
// refined one level per step (network_subdivision.cpp). Nothing outside this library calls it.
//
// Every record append is checked against its capacity: a full array ends the process with a
// "3DNetwork Error" message instead of writing past the block.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"

namespace veskor {

struct NetworkFace;
struct NetworkEdge;
struct NetworkTransform;

inline constexpr std::uint32_t kMaxFaceCorners = 8;
// An edge whose sharpness is above this is sharp at the current level.
inline constexpr float kSharpEdge = 0.99f;
// Corners closer than this on every axis weld into one vertex.
inline constexpr float kWeldDistance = 0.005f;
// What NetworkPass returns when it builds nothing.
inline constexpr std::uint32_t kNoFace = 0xFFFFFFFFu;

// Edge flags.
inline constexpr std::uint8_t EdgeFlat = 1;   // needs no smoothing in the coming step
inline constexpr std::uint8_t EdgeSplit = 4;  // borders a face that the coming step splits
// Face flags.
inline constexpr std::uint8_t FaceFlat = 1;  // refined by the flat rules, not split into quads

inline constexpr const char* kNetworkAllocError =
    "3DNetwork Error : unable to allocate required memory";
inline constexpr const char* kTooManyVertices = "3DNetwork Error : too many vertices";
inline constexpr const char* kTooManyEdges = "3DNetwork Error : too many edges";
inline constexpr const char* kTooManyFaces = "3DNetwork Error : too many faces";
inline constexpr const char* kTooManyGroups = "3DNetwork Error : too many groups";
inline constexpr const char* kFaceGroupOutOfRange = "3DNetwork Error : face group out of range";
inline constexpr const char* kSameNetwork =
    "3DNetwork Error : source and destination are the same network";

struct NetworkVertex {
  float x, y, z;
  float nx, ny, nz;      // zero when made; the normalised sum of the face normals around it
  NetworkVertex* link;   // this vertex's counterpart in the network derived from this one
  std::uint8_t fixed;    // 1: keeps its position through the next subdivision step
  std::uint8_t emitted;  // work flag of the conversion to render arrays
  // While building: how often a corner welded to this vertex after it was made. During
  // subdivision: the number of edges that meet at it.
  std::uint8_t useCount;
  std::uint8_t sharpEdgeCount;  // edges at this vertex whose sharpness is above kSharpEdge
};

struct NetworkEdge {
  NetworkVertex* vertexA;
  NetworkVertex* vertexB;
  float sharpness;          // 0 smooth; the halves get sharpness - 1 (at least 0)
  std::uint8_t flags;       // EdgeFlat, EdgeSplit
  NetworkVertex* midpoint;  // the edge point made for this edge in the derived network
  NetworkFace* face1;       // the face that made the edge
  NetworkFace* face2;       // the second face along it; null on a border
  // Texture coordinates at end A and end B as seen from face1, then from face2.
  float u1A, u1B, u2A, u2B;
  float v1A, v1B, v2A, v2B;
  // The halves in the derived network (A's counterpart to the midpoint, then on to B's); an
  // edge carried over whole has its copy in child1 and null in child2.
  NetworkEdge* child1;
  NetworkEdge* child2;
};

struct NetworkFace {
  NetworkVertex* vertices[kMaxFaceCorners];          // the first cornerCount are valid
  NetworkEdge* edges[kMaxFaceCorners];               // edge i runs from corner i to corner i + 1
  std::uint32_t cornerRenderIndex[kMaxFaceCorners];  // set by the conversion to render arrays
  std::uint8_t cornerCount;
  std::uint8_t flags;  // FaceFlat
  float nx, ny, nz;
  NetworkVertex* facePoint;  // the face point made for this face in the derived network
  NetworkFace* children[kMaxFaceCorners];  // the faces that replace it in the derived network
  std::uint8_t childCount;
  std::uint8_t faceLevel;  // level of the network in which the face was made
  std::uint16_t group;
};

struct NetworkGroup {
  std::uint32_t firstTriangle;  // triangle range in the render index array
  std::uint32_t endTriangle;
  std::uint32_t vertexBase;
  std::uint32_t reserved;                    // not copied; nothing reads it
  float uMin, vMin, uMax, vMax;              // texture range; 0, 0, 1, 1 after normalisation
  float minX, minY, minZ, maxX, maxY, maxZ;  // bounds of the group's corners
  // Summed length of the group's seam edges along v = 0, v = 1, u = 0 and u = 1.
  float borderV0, borderV1, borderU0, borderU1;
  std::uint32_t extra;                     // copied with the group; nothing else touches it
  float uOffset, vOffset, uScale, vScale;  // u' = (u + uOffset) x uScale
};

// Face indices firstFace .. endFace - 1 for the range form of NetworkPass.
struct NetworkFaceRange {
  std::uint32_t first;
  std::uint32_t end;
};

struct MeshNetwork {
  MemBlock block;      // holds the four arrays
  std::uint8_t level;  // 0 when built from input; the source's level + 1 after subdivision
  NetworkVertex* vertices;
  std::uint32_t vertexCapacity;
  std::uint32_t vertexCount;
  NetworkEdge* edges;  // directly behind the vertex records
  std::uint32_t edgeCapacity;
  std::uint32_t edgeCount;
  NetworkFace* faces;  // directly behind the edge records
  std::uint32_t faceCapacity;
  std::uint32_t faceCount;
  std::uint32_t triangleCount;  // sum over the faces of corners - 2
  NetworkGroup* groups;         // directly behind the face records
  std::uint8_t groupCapacity;   // for information only: the room is kept by the block
  std::uint8_t groupCount;
  // Face budget of the next subdivision step: each closed face adds its corners, each face
  // made by subdivision 4.
  std::uint32_t cornerCount;
  std::uint32_t creaseVertexCount;  // vertices on two or more sharp edges
  std::uint32_t seamEdgeCount;      // border edges and edges whose sides differ in coordinates

  MeshNetwork();
  ~MeshNetwork();
  MeshNetwork(const MeshNetwork&) = delete;
  MeshNetwork& operator=(const MeshNetwork&) = delete;

  // --- Records (mesh_network.cpp) ---------------------------------------------------------
  // Releases any arrays held, then reserves room for the records, all counts 0. The first form
  // gives as many group records as face records. No room at all is fatal (kNetworkAllocError).
  void AllocateNetwork(std::uint32_t vertexCapacity, std::uint32_t edgeCapacity,
                       std::uint32_t faceCapacity);
  void AllocateNetwork(std::uint32_t vertexCapacity, std::uint32_t edgeCapacity,
                       std::uint32_t faceCapacity, std::uint8_t groupCapacity);
  // Gives the block back and zeroes every field; harmless on an empty network.
  void ReleaseNetwork();
  // vertexBound = seamEdgeCount + 2 x creaseVertexCount + faceCount; triangles = triangleCount.
  void GetRenderCounts(std::uint32_t& vertexBound, std::uint32_t& triangles) const;
  // Group records the block has room for.
  std::uint32_t GroupRoom() const;

  // Checked appends of zeroed records (fatal past the capacity).
  NetworkVertex* AddNetworkVertex(float x, float y, float z);
  NetworkEdge* AddNetworkEdge();
  NetworkFace* AddNetworkFace();
  NetworkGroup* AddNetworkGroup();

  // --- Building (network_build.cpp) -------------------------------------------------------
  // The first vertex within kWeldDistance on every axis (its useCount raised), else a new one.
  NetworkVertex* FindOrAddNetworkVertex(float x, float y, float z);
  // The edge between a and b (either order) gets the face as face2 with the coordinates
  // stored end for end; without one, a new edge a -> b with the face as face1.
  NetworkEdge* FindOrAddNetworkEdge(NetworkVertex* a, NetworkVertex* b, float uA, float vA,
                                    float uB, float vB, NetworkFace* face, float sharpness);
  // The same; an edge that is found also takes the sharpness.
  NetworkEdge* FindOrAddNetworkEdgeSharp(NetworkVertex* a, NetworkVertex* b, float uA, float vA,
                                         float uB, float vB, NetworkFace* face, float sharpness);

  // The open face: one face under construction for the whole program (the record at index
  // faceCount, counted once closed). Begin sets the group counter to `group`; corners beyond
  // the eighth are dropped; a face of fewer than three corners is not closed. Entry i of the
  // corners also describes the edge from corner i to corner i + 1; with `overrideSharpness`
  // set, its sharpness replaces that of an edge that exists already.
  void BeginNetworkFace(std::uint16_t group);
  void AddNetworkFaceCorner(float x, float y, float z, float u, float v, float sharpness,
                            std::uint32_t overrideSharpness);
  void CloseNetworkFace();

  // Detaches the face from the edge; an edge left without faces is removed with every vertex
  // that no other edge holds, and the pointers above them are moved down.
  void RemoveNetworkEdge(std::uint32_t edgeIndex, NetworkFace* face);
  // Removes the face through its edges and moves the faces behind it down.
  void RemoveNetworkFace(std::uint32_t faceIndex);

  void CountCreasesAndSeams();  // expects the vertices' sharpEdgeCount at 0
  void NormalizeGroupTexCoords();
  void ComputeGroupBounds();
  // Unit face normals, and vertex normals as the normalised sum of the faces' around them.
  void ComputeNetworkNormals();

  // --- Passes between outlines (network_pass.cpp) -----------------------------------------
  // A tube of quads from face A to face B moved by the transform, closed by a cap of B's
  // corners; returns the index of the first tube face, kNoFace when nothing was built.
  std::uint32_t NetworkPass(std::uint32_t faceA, std::uint32_t reverseA, float sharpA,
                            std::uint32_t faceB, std::uint32_t reverseB, float sharpB,
                            NetworkTransform& transform, float sharpSide);
  // The same, face A being the face of the range that best faces B's moved outline.
  std::uint32_t NetworkPass(NetworkFaceRange range, float sharpA, std::uint32_t faceB,
                            std::uint32_t reverseB, float sharpB, NetworkTransform& transform,
                            float sharpSide);

  // --- Subdivision (network_subdivision.cpp) ----------------------------------------------
  // The destination becomes this network refined `levels` times by the adaptive step
  // (a copy for 0 levels); `angle` in degrees bounds what counts as flat.
  void SubdivideNetworkLevels(std::uint32_t levels, float angle, MeshNetwork& destination);
  // One uniform step: every face that is not already flat is split into quads.
  void SubdivideNetwork(MeshNetwork& destination);
  // One adaptive step towards a total of `levels` levels; `threshold` is the cosine bound.
  void SubdivideNetwork(std::uint32_t levels, float threshold, MeshNetwork& destination);
};

// Record operations.
void CopyNetworkVertex(NetworkVertex& to, const NetworkVertex& from);
// Clears normal, link and the four flag bytes; the position stays.
void ResetVertexAttributes(NetworkVertex& vertex);
void CopyNetworkEdge(NetworkEdge& to, const NetworkEdge& from);
// Clears ends, sharpness, flags, midpoint, faces and children; the coordinates stay.
void ClearNetworkEdge(NetworkEdge& edge);
// Copies the valid corners, edges and children and the face's own words (not the render
// indices).
void CopyNetworkFace(NetworkFace& to, const NetworkFace& from);
// Copies uMin to extra (not the triangle range, vertexBase, reserved, offsets and scales).
void CopyNetworkGroup(NetworkGroup& to, const NetworkGroup& from);

// Helpers shared by the building and subdivision code.
// Unit normal of the face: the sum of e(i) x e(i - 1) over its corners, normalised.
void FaceNormal(const NetworkFace& face, float* normal);
// The face's texture coordinates at corner i: those of its edge i on the face's side.
void FaceCornerTexCoords(const NetworkFace& face, std::uint32_t corner, float& u, float& v);
// A border edge, or one whose two sides differ in a texture coordinate.
bool IsSeamEdge(const NetworkEdge& edge);

}  // namespace veskor
