// The ParseStore: what the parse of a world produces besides the World: the fx records of the
// `Surface` and `Object` definitions with their parameter defaults and output records, the
// surface, global and constant call tables with their argument and dependency lists, the
// string and float constants, the frame tables the fx runtime binds, and the lists the compile
// step produces. One global instance, emptied before every parse; the fx parser and the
// compile step fill it, the scene build and the fx runtime read it.
#pragma once

#include <cstdint>

#include "foundation/vm_array.h"
#include "language/record_lists.h"
#include "mapengine/fx_frame.h"

namespace veskor {

// Where an fx value comes from: the kind of an FxTerm.
enum : std::uint16_t {
  kFxTermParameter = 0,
  kFxTermSurfaceCall = 1,
  kFxTermOutput = 2,
  kFxTermGlobalInput = 3,
  kFxTermString = 4,
  kFxTermFloat = 5,
  kFxTermGlobalCall = 6,
  kFxTermConstantCall = 7,
};

// An fx value's source, as the argument and compiled lists keep it. Two terms are the same
// value when kind, index and version agree.
struct FxTerm {
  std::uint16_t kind;
  std::uint16_t index;
  std::uint16_t access;
  std::uint16_t type;
  std::uint16_t version;  // for an output: its write count when read
};
static_assert(sizeof(FxTerm) == 10, "argument lists hold 10-byte terms");

// One `Surface` (or `Object`) definition.
struct FxRecord {
  std::uint32_t firstWord;
  std::uint32_t firstParameterDefault;
  std::uint32_t parameterCount;
  std::uint32_t firstOutputRecord;
  std::uint32_t compiled;  // 1 once the compile step has compiled it
  std::uint32_t firstCompiledList;
  std::uint32_t firstSurfaceCall;
  std::uint32_t surfaceCallCount;
  // Its first list in outputLists, set at registration. The output records and these lists
  // are counted apart (every definition appends output records, only registered ones append
  // lists), so one word cannot index both.
  std::uint32_t firstOutputList;
};

struct FxParameterDefault {
  std::uint32_t zero;
  FxTerm term;  // kind 0 (all fields 0) for a parameter without default
};
static_assert(sizeof(FxParameterDefault) == 16, "parameter defaults are 16 bytes");

inline constexpr std::uint32_t kFxOutputWriteMax = 8;  // writes of one output per definition

struct FxOutputRecord {
  std::uint32_t written;  // nonzero once the definition assigns the output
  FxTerm writes[kFxOutputWriteMax];
  std::uint32_t count;
};
static_assert(sizeof(FxOutputRecord) == 88, "output records are 88 bytes");

// One recorded call.
struct FxCallEntry {
  std::uint32_t row;       // FxRegistry row
  std::uint32_t useCount;  // reads of its result by used calls and outputs (MarkUsedFx)
  std::uint32_t line;      // of the call in its world file
  std::uint32_t marked;    // set once MarkUsedFx has counted the reads its arguments make
  FxExecutor executor;
};

// Reserves. The growable arrays are named by the bytes their records took; those whose
// records hold a pointer keep their element count instead.
inline constexpr std::uint32_t kParseStoreArrayBytes = 128 * 1024;
inline constexpr std::uint32_t kParseStoreCallCapacity = kParseStoreArrayBytes / 16;
inline constexpr std::uint32_t kParseStoreListHeaders = 16384;
inline constexpr std::uint32_t kParseStoreListBytes = 128 * 1024;
inline constexpr std::uint32_t kParseStoreArgumentListBytes = 256 * 1024;

// The fixed tables, each followed by its count, and the term kind whose values each holds.
// These are the frame tables the fx call lists bind, and their only definition.
inline constexpr std::uint32_t kFxStringConstantMax = 128;     // kind 4
inline constexpr std::uint32_t kFxFloatConstantMax = 256;      // kind 5
inline constexpr std::uint32_t kFxGlobalCallFrameMax = 256;    // kind 6
inline constexpr std::uint32_t kFxOutputFrameMax = 32;         // kind 2
inline constexpr std::uint32_t kFxSurfaceCallFrameMax = 512;   // kind 1
inline constexpr std::uint32_t kFxGlobalInputFrameMax = 16;    // kind 3
inline constexpr std::uint32_t kFxConstantCallFrameMax = 256;  // kind 7

// What a parse reports when a table of the store is full.
inline constexpr const char* kParseStoreFullMessage = "Too many fx definitions, calls or constants";

struct ParseStore {
  ParseStore();  // reserves every growable member
  ~ParseStore();
  ParseStore(const ParseStore&) = delete;
  ParseStore& operator=(const ParseStore&) = delete;

  VmArray fxRecords{};         // FxRecord, one per registered definition
  VmArray compileRoots{};      // u32 fx record indices the compile step compiles
  std::uint32_t slotCount{};   // output records appended per definition
  std::uint32_t groupCount{};  // global inputs whose dependents the compile step gathers
  std::uint32_t compileMarks[2]{};
  VmArray parameterDefaults{};         // FxParameterDefault
  VmArray outputRecords{};             // FxOutputRecord, slotCount per definition
  RecordLists outputLists{};           // FxTerm: per registered definition one list per output slot
  RecordLists compiledLists{};         // FxTerm: the compile step's output
  VmArray surfaceCalls{};              // FxCallEntry
  RecordLists surfaceCallArguments{};  // FxTerm: one list per surface call, in call order
  RecordLists dependencyLists{};       // u32: one list per surface call
  VmArray globalCalls{};               // FxCallEntry
  RecordLists globalCallArguments{};
  VmArray constantCalls{};  // FxCallEntry
  RecordLists constantCallArguments{};

  // The fixed tables. The fx runtime binds them by term kind: 4 the strings, 5 the float
  // constants, 6 the global call results, 2 the outputs, 1 the results of the bound
  // definition's surface calls, 3 the global inputs, 7 the constant call results.
  FxTextConstant stringConstants[kFxStringConstantMax]{};  // the word is the text's length
  std::uint32_t stringConstantCount{};
  FxFrame floatConstants[kFxFloatConstantMax]{};
  std::uint32_t floatConstantCount{};
  FxFrame globalCallFrames[kFxGlobalCallFrameMax]{};
  std::uint32_t globalCallFrameCount{};
  FxFrame outputFrames[kFxOutputFrameMax]{};
  std::uint32_t outputFrameCount{};
  FxFrame surfaceCallFrames[kFxSurfaceCallFrameMax]{};
  std::uint32_t surfaceCallFrameCount{};
  FxFrame globalInputFrames[kFxGlobalInputFrameMax]{};
  std::uint32_t globalInputFrameCount{};
  FxFrame constantCallFrames[kFxConstantCallFrameMax]{};
  std::uint32_t constantCallFrameCount{};
};

// The program's store.
extern ParseStore gParseStore;

// Empties the store for a new parse: every array, list and fixed-table count, the slot and
// group counts and both compile marks become 0; the blocks stay reserved.
void ParseStoreReset(ParseStore& store);
// Store the slot count / the group count, unless a definition has been registered.
void ParseStoreSetParam(ParseStore& store, std::uint32_t value);
void ParseStoreSetGroupCount(ParseStore& store, std::uint32_t value);

}  // namespace veskor
