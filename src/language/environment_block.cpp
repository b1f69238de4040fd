#include "language/environment_block.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "environment/environment_params.h"
#include "language/block_entries.h"
#include "language/lexer.h"
#include "language/scene_blocks.h"
#include "language/value_readers.h"
#include "language/world.h"

namespace veskor {
namespace {

bool Is(const char* token, const char* text) { return std::strcmp(token, text) == 0; }

constexpr const char* kSubBlocks[] = {"Sun",   "Sky",       "Fog",      "Haze",
                                      "Water", "CloudHigh", "CloudLow", "LightShaft"};

// "( scale offset )": two values of three components (missing scale components 1, missing
// offset components 0). The record becomes the identity, then takes the scale unless it is
// (1, 1, 1) and the offset unless it is (0, 0, 0); each store leaves the matrix to rebuild.
int ReadColourCorrection(SceneParser& parser, TransformRecord* record) {
  SetParseError(parser, kTransformRequiredMessage);
  float values[6] = {1, 1, 1, 0, 0, 0};
  const std::uint16_t limits[2] = {3, 3};
  ReadRawToken(parser);
  if (!ReadFloatArgument(parser, values, limits, 2)) return 0;
  if (record == nullptr) return 1;
  *record = TransformRecord{};
  if (values[0] != 1.0f || values[1] != 1.0f || values[2] != 1.0f) {
    std::memcpy(record->scale, values, sizeof record->scale);
    record->changed = 0;
    record->dirty = 1;
  }
  if (values[3] != 0.0f || values[4] != 0.0f || values[5] != 0.0f) {
    std::memcpy(record->translation, values + 3, sizeof record->translation);
    record->changed = 0;
    record->dirty = 1;
  }
  return 1;
}

// The code of a word-valued key, or 0 when the string is none of its words.
std::int32_t WordCode(EnvironmentValue kind, const char* text) {
  switch (kind) {
    case EnvironmentValue::kWaterClass:
      return Is(text, "lake") ? kWaterLake : Is(text, "sea") ? kWaterSea : 0;
    case EnvironmentValue::kAspect:
      return Is(text, "iso")         ? kAspectIso
             : Is(text, "long")      ? kAspectLong
             : Is(text, "very long") ? kAspectVeryLong
                                     : 0;
    default:  // the cloud kind: the first of these found, in this order
      return std::strstr(text, "cirr")    ? kCloudCirrus
             : std::strstr(text, "cumul") ? kCloudCumulus
             : std::strstr(text, "strat") ? kCloudStratus
                                          : 0;
  }
}

const char* WordMessage(EnvironmentValue kind) {
  return kind == EnvironmentValue::kWaterClass ? kWaterClassExpected
         : kind == EnvironmentValue::kAspect   ? kAspectExpected
                                               : kCloudClassExpected;
}

// One key of a sub-block, its keyword current; `slot` is its binding (null: read only).
int ReadEnvironmentKey(SceneParser& parser, const EnvironmentSlotInfo& info, void* slot) {
  switch (info.value) {
    case EnvironmentValue::kTransform:
      return ReadColourCorrection(parser, static_cast<TransformRecord*>(slot));
    case EnvironmentValue::kWaterClass:
    case EnvironmentValue::kAspect:
    case EnvironmentValue::kCloudClass: {
      char text[kStringRecordBytes];
      if (!ReadEntryString(parser, text)) return 0;
      if (slot == nullptr) return 1;
      auto* code = static_cast<std::int32_t*>(slot);
      if (info.value == EnvironmentValue::kCloudClass) *code = 0;
      const std::int32_t word = WordCode(info.value, text);
      if (word == 0) {
        SetParseError(parser, WordMessage(info.value));
        return 0;
      }
      *code = word;
      return 1;
    }
    default: {
      auto* values = static_cast<float*>(slot);
      std::uint32_t lines[kFxMaxComponents];
      if (!ReadEntryFloats(parser, values, info.count, nullptr, lines)) return 0;
      // The components not given hold defaults or values that passed before.
      if (info.check == EnvironmentCheck::kRange)
        return CheckRange(parser, values, info.count, info.lo, info.hi, lines);
      if (info.check == EnvironmentCheck::kMinimum)
        return CheckMinimum(parser, values, info.count, info.lo, lines);
      return 1;
    }
  }
}

// The key of `block` named by the current token, or -1.
int FindKey(const char* block, const char* token) {
  for (std::uint32_t s = 0; s < kEnvironmentSlotCount; ++s) {
    const EnvironmentSlotInfo& info = kEnvironmentSlots[s];
    if (info.key != nullptr && Is(info.block, block) && Is(info.key, token))
      return static_cast<int>(s);
  }
  return -1;
}

void SetPresence(void* slot, std::int32_t value) {
  if (slot != nullptr) *static_cast<std::int32_t*>(slot) = value;
}

int ParseSubBlock(SceneParser& parser, const char* block, EnvironmentBindings& bindings) {
  SceneFile& file = InnermostFile(parser);
  if (Is(block, "CloudHigh")) SetPresence(bindings.slots[kSlotCloudHighPresent], 1);
  if (Is(block, "CloudLow")) SetPresence(bindings.slots[kSlotCloudLowPresent], 1);
  ReadRawToken(parser);
  if (!ExpectBrace(parser, "{")) return 0;
  while (!BlockInputEnded(file) && !Is(file.token, "}")) {
    const int slot = FindKey(block, file.token);
    if (slot < 0) {
      char message[kSceneMessageBytes];
      std::snprintf(message, sizeof message, "%s syntax error", block);
      return FailAt(file, message);
    }
    const std::uint32_t line = file.tokenLine;  // the entry's
    void* value = bindings.slots[slot];
    if (!ReadEnvironmentKey(parser, kEnvironmentSlots[slot], value)) return 0;
    // The direction as it now stands, components not given included.
    if (slot == kSlotSunDirection && value != nullptr) {
      auto* direction = static_cast<float*>(value);
      const double d[3] = {direction[0], direction[1], direction[2]};
      if (!CheckDirection(parser, d, direction, line)) return 0;
    }
  }
  return ExpectBrace(parser, "}");
}

}  // namespace

int ParseEnvironment(SceneParser& parser, ParseStore&) {
  SceneFile& file = InnermostFile(parser);
  EnvironmentBindings& bindings = gWorld.environment;
  SetErrorLocation(file, kEnvironmentSyntaxError);
  if (!ExpectToken(parser, "Environment") || !ExpectBrace(parser, "{")) return 0;
  // Both cloud layers are off unless the block names them.
  SetPresence(bindings.slots[kSlotCloudHighPresent], 0);
  SetPresence(bindings.slots[kSlotCloudLowPresent], 0);
  while (!BlockInputEnded(file) && !Is(file.token, "}")) {
    const char* block = nullptr;
    for (const char* name : kSubBlocks) {
      if (Is(file.token, name)) block = name;
    }
    if (block == nullptr) return FailAt(file, kEnvironmentSyntaxError);
    if (!ParseSubBlock(parser, block, bindings)) return 0;
  }
  return ExpectBrace(parser, "}");
}

}  // namespace veskor
