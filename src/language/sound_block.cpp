#include "language/sound_block.h"

#include <cstring>
#include <string>

#include "foundation/data_file_search.h"
#include "foundation/search_dirs.h"
#include "language/block_entries.h"
#include "language/lexer.h"
#include "language/scene_blocks.h"
#include "language/value_readers.h"
#include "language/world.h"
#include "sound/sample_loader.h"

namespace veskor {
namespace {

bool Is(const char* token, const char* text) { return std::strcmp(token, text) == 0; }
bool Has(const char* text, const char* word) { return std::strstr(text, word) != nullptr; }

std::uint32_t LoadSample(const char* path, SampleSlot& slot, std::string* why = nullptr) {
  return Is(FileExtension(path), ".ogg") ? LoadOggSound(path, slot, why)
                                         : LoadWavSound(path, slot, why);
}

// One `Sample` block, its keyword current: read, found along the search directories and
// loaded into the bank's next slot.
int ParseSample(SceneParser& parser, SampleBank& bank) {
  SceneFile& file = InnermostFile(parser);
  const std::uint32_t line = file.tokenLine;
  SetErrorLocation(file, kSoundSampleSyntaxError);
  if (bank.sampleCount >= kSampleBankSamples) {
    SetErrorAtLine(file, kTooManySamplesMessage, line);
    return 0;
  }
  ReadRawToken(parser);
  if (!ExpectBrace(parser, "{")) return 0;
  char name[kStringRecordBytes] = "";
  std::uint32_t nameLine = line;
  float corrections[2] = {0, 0};  // volume, frequency
  while (!BlockInputEnded(file) && !Is(file.token, "}")) {
    if (Is(file.token, "name")) {
      nameLine = file.tokenLine;
      if (!ReadEntryString(parser, name)) return 0;
    } else if (Is(file.token, "volumeCorrection") || Is(file.token, "frequencyCorrection")) {
      float* value = &corrections[Is(file.token, "volumeCorrection") ? 0 : 1];
      std::uint32_t valueLine;
      if (!ReadEntryFloats(parser, value, 1, nullptr, &valueLine) ||
          !CheckRange(parser, value, 1, -1.0f, 1.0f, &valueLine))
        return 0;
    } else {
      return FailAt(file, kSoundSampleSyntaxError);
    }
  }
  if (!ExpectBrace(parser, "}")) return 0;
  // The path fits the sample record: FindDataFile gives only directories whose path with the
  // name fits kSearchDirBytes, the record's size.
  static_assert(kSamplePathBytes == kSearchDirBytes);
  SampleRecord& record = bank.samples[bank.sampleCount];
  DataFileFailure failure;
  const std::uint32_t directory = FindDataFile(name, &failure);
  if (directory == 0) return FailForFile(file, name, failure.reason, nameLine);
  std::string why;  // a file refused by its loader as it opened
  if (!BuildDirPath(directory, name, record.name, sizeof record.name) ||
      !LoadSample(record.name, bank.slots[bank.sampleCount], &why))
    return FailForFile(file, name, why, nameLine);
  record.volumeCorrection = corrections[0];
  record.frequencyCorrection = corrections[1];
  ++bank.sampleCount;
  return 1;
}

// `min` or `max`: ( [distance first second] ), the distance >= 0, the values in [0, 1].
int ReadRange(SceneParser& parser, float* range) {
  std::uint32_t lines[3];
  return ReadEntryFloats(parser, range, 3, nullptr, lines) &&
         CheckMinimum(parser, range, 1, 0.0f, lines) &&
         CheckRange(parser, range + 1, 2, 0.0f, 1.0f, lines + 1);
}

}  // namespace

std::uint32_t SoundProgramFlags(const char* text, std::uint32_t previous) {
  std::uint32_t flags = previous;
  if (Has(text, "seq")) {
    flags = kSoundProgramSeq;
  } else if (Has(text, "par")) {
    flags = kSoundProgramPar;
  } else if (Has(text, "ran")) {
    flags = kSoundProgramRan;
  }
  if (Has(text, "loop")) flags |= kSoundProgramEven;
  if (Has(text, "even")) flags |= kSoundProgramLoop;
  return flags;
}

void SampleBankSetRanges(SampleBank& bank, float nearDistance, float farDistance, float nearFirst,
                         float farFirst, float nearSecond, float farSecond) {
  bank.nearDistance = nearDistance;
  bank.farDistance = farDistance;
  bank.nearVolume = nearFirst;
  bank.farVolume = farFirst;
  bank.nearExtra = nearSecond;
  bank.farExtra = farSecond;
}

bool SampleBankSetProgram(SampleBank& bank, std::uint32_t flags, float overlap) {
  constexpr std::uint32_t kKindBits = kSoundProgramSeq | kSoundProgramPar | kSoundProgramRan;
  bank.programFlags = flags;
  bank.kind = flags & kKindBits;
  bank.even = (flags & kSoundProgramEven) | (bank.kind == kSoundProgramRan ? kSoundProgramEven : 0);
  bank.loop = flags & kSoundProgramLoop;
  bank.overlap = overlap;
  bank.playing = 0;
  if (bank.even == 0 || bank.sampleCount != 1) return true;
  if (!LoadSample(bank.samples[0].name, bank.slots[1])) return false;
  bank.samples[1] = bank.samples[0];
  bank.sampleCount = 2;
  return true;
}

const char* FileExtension(const char* name) {
  const std::size_t length = std::strlen(name);
  const char* tail = length < 9 ? name : name + length - 8;
  const char* dot = std::strchr(tail, '.');
  return dot != nullptr ? dot : name + length;
}

int ParseSound(SceneParser& parser, ParseStore&) {
  World& world = gWorld;
  SceneFile& file = InnermostFile(parser);
  const std::uint32_t line = file.tokenLine;
  SetErrorLocation(file, kSoundSyntaxError);
  if (!ExpectToken(parser, "Sound") || !ExpectBrace(parser, "{")) return 0;
  if (world.soundBankCount >= kWorldSoundBankMax) {
    SetErrorAtLine(file, kTooManySoundBanksMessage, line);
    return 0;
  }
  SampleBank& bank = world.soundBanks[world.soundBankCount++];
  SampleBankClear(bank);
  float nearRange[3], farRange[3];
  std::memcpy(nearRange, kSoundNearDefault, sizeof nearRange);
  std::memcpy(farRange, kSoundFarDefault, sizeof farRange);
  std::uint32_t flags = bank.programFlags;
  float overlap = 0;
  while (!BlockInputEnded(file) && !Is(file.token, "}")) {
    int ok;
    if (Is(file.token, "BBox")) {
      float box[6];
      ok = ReadBoundingBox(parser, box);
      if (ok) {
        std::memcpy(bank.boxMin, box, sizeof bank.boxMin);
        std::memcpy(bank.boxMax, box + 3, sizeof bank.boxMax);
      }
    } else if (Is(file.token, "min")) {
      ok = ReadRange(parser, nearRange);
    } else if (Is(file.token, "max")) {
      ok = ReadRange(parser, farRange);
    } else if (Is(file.token, "overlap")) {
      ok = ReadEntryFloats(parser, &overlap, 1);
    } else if (Is(file.token, "program")) {
      char text[kStringRecordBytes];
      ok = ReadEntryString(parser, text);
      if (ok) flags = SoundProgramFlags(text, flags);
    } else if (Is(file.token, "Sample")) {
      ok = ParseSample(parser, bank);
    } else {
      ok = FailAt(file, kSoundSyntaxError);
    }
    if (!ok) return 0;
  }
  if (!ExpectBrace(parser, "}")) return 0;
  SampleBankSetRanges(bank, nearRange[0], farRange[0], nearRange[1], farRange[1], nearRange[2],
                      farRange[2]);
  if (!SampleBankSetProgram(bank, flags, overlap)) return FailAt(file, kCannotLocateFileMessage);
  return 1;
}

}  // namespace veskor
