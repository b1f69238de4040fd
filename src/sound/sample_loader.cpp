#include "sound/sample_loader.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "foundation/fatal_error.h"
#include "platform/file_open.h"
#include "platform/sound_device.h"
#include "sound/sound_output.h"

namespace veskor {
namespace {

constexpr std::uint32_t kPcmFormatTag = 1;
constexpr std::uint32_t kFormatChunkBytes = 16;  // the part of "fmt " that is read
constexpr int kOggRequestBytes = 4096;

struct FileCloser {
  std::FILE* file;
  ~FileCloser() {
    if (file != nullptr) std::fclose(file);
  }
};

bool ReadBytes(std::FILE* file, void* out, std::size_t count) {
  return std::fread(out, 1, count, file) == count;
}

bool ReadU32(std::FILE* file, std::uint32_t& value) {
  std::uint8_t b[4];
  if (!ReadBytes(file, b, 4)) return false;
  value = b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
  return true;
}

bool ReadU16(std::FILE* file, std::uint32_t& value) {
  std::uint8_t b[2];
  if (!ReadBytes(file, b, 2)) return false;
  value = b[0] | b[1] << 8;
  return true;
}

bool ReadId(std::FILE* file, const char* id) {
  char b[4];
  return ReadBytes(file, b, 4) && std::memcmp(b, id, 4) == 0;
}

bool Skip(std::FILE* file, std::uint32_t bytes) {
  return std::fseek(file, static_cast<long>(bytes), SEEK_CUR) == 0;
}

// The sample file opened for reading without waiting on it; nullptr, with `*why` (when given)
// saying why when the file is there, else empty.
std::FILE* OpenSampleFile(const char* path, std::string* why) {
  FileOpenFailure failure;
  std::FILE* file = OpenRegularStreamForReading(path, &failure);
  if (why != nullptr) *why = file != nullptr || failure.Missing() ? "" : failure.Reason();
  return file;
}

struct PcmLayout {
  std::uint32_t channels;
  std::uint32_t bitsPerSample;
  std::uint32_t sampleRate;
  std::uint32_t dataBytes;
};

// A layout the device can hold: playable, at least one whole frame, not too large.
bool Acceptable(const PcmLayout& layout) {
  return SoundFormatPlayable(layout.channels, layout.bitsPerSample, layout.sampleRate) &&
         layout.dataBytes >= layout.channels * layout.bitsPerSample / 8 &&
         layout.dataBytes <= kSoundBufferBytesMax;
}

// Empties a slot about to be loaded again, then gives it the new sample's figures and buffer.
void CreateBuffer(SampleSlot& slot, const PcmLayout& layout) {
  if (slot.dataBytes != 0 || slot.buffer != nullptr) ReleaseSoundBuffer(slot);
  slot.channels = layout.channels;
  slot.bitsPerSample = layout.bitsPerSample;
  slot.dataBytes = layout.dataBytes;
  slot.sampleRate = layout.sampleRate;
  slot.frames = static_cast<std::uint32_t>(std::uint64_t{layout.dataBytes} * 8 /
                                           (layout.channels * layout.bitsPerSample));
  slot.buffer =
      SoundBufferCreate(layout.channels, layout.bitsPerSample, layout.sampleRate, layout.dataBytes);
  if (slot.buffer == nullptr) FatalError(kSoundBufferCreateFailedText);
  slot.looping = 0;
  slot.duration = static_cast<float>(slot.frames) / static_cast<float>(slot.sampleRate);
}

std::uint8_t* LockBuffer(SampleSlot& slot, std::uint32_t& bytes) {
  std::uint8_t* data = SoundBufferLock(slot.buffer, &bytes);
  if (data == nullptr) FatalError(kSoundBufferLockFailedText);
  return data;
}

void UnlockBuffer(SampleSlot& slot) {
  if (!SoundBufferUnlock(slot.buffer)) FatalError(kSoundBufferUnlockFailedText);
}

bool ReadWavLayout(std::FILE* file, PcmLayout& layout) {
  std::uint32_t riffBytes = 0, formatBytes = 0, tag = 0, bytesPerSecond = 0, blockAlign = 0;
  if (!ReadId(file, "RIFF") || !ReadU32(file, riffBytes) || !ReadId(file, "WAVE") ||
      !ReadId(file, "fmt ") || !ReadU32(file, formatBytes) || formatBytes < kFormatChunkBytes ||
      !ReadU16(file, tag) || tag != kPcmFormatTag || !ReadU16(file, layout.channels) ||
      !ReadU32(file, layout.sampleRate) || !ReadU32(file, bytesPerSecond) ||
      !ReadU16(file, blockAlign) || !ReadU16(file, layout.bitsPerSample) ||
      !Skip(file, formatBytes - kFormatChunkBytes))
    return false;
  char id[4];
  if (!ReadBytes(file, id, 4)) return false;
  if (std::memcmp(id, "data", 4) != 0) {  // one other chunk may come first
    std::uint32_t skipped = 0;
    if (!ReadU32(file, skipped) || !Skip(file, skipped) || !ReadId(file, "data")) return false;
  }
  return ReadU32(file, layout.dataBytes) && Acceptable(layout);
}

}  // namespace

std::uint32_t LoadWavSound(const char* path, SampleSlot& slot, std::string* why) {
  if (why != nullptr) why->clear();
  if (path == nullptr) return 0;
  const FileCloser file{OpenSampleFile(path, why)};
  if (file.file == nullptr) return 0;
  PcmLayout layout{};
  if (!ReadWavLayout(file.file, layout)) return 0;
  if (SoundEnabled == 0) return 1;

  CreateBuffer(slot, layout);
  std::uint32_t bytes = 0;
  std::uint8_t* data = LockBuffer(slot, bytes);
  std::fread(data, 1, bytes, file.file);  // a short file leaves the rest zero
  UnlockBuffer(slot);
  return 1;
}

std::uint32_t LoadOggSound(const char* path, SampleSlot& slot, std::string* why) {
  if (why != nullptr) why->clear();
  if (path == nullptr) return 0;
  std::FILE* file = OpenSampleFile(path, why);
  if (file == nullptr) return 0;
  OggVorbis_File stream;
  if (ov_open(file, &stream, nullptr, 0) < 0) {
    std::fclose(file);
    return 0;
  }
  // From here ov_clear closes the file.
  const vorbis_info* info = ov_info(&stream, -1);
  const ogg_int64_t frames = ov_pcm_total(&stream, -1);
  bool sameLinks = info != nullptr;
  for (long link = 1; sameLinks && link < ov_streams(&stream); ++link) {
    const vorbis_info* other = ov_info(&stream, static_cast<int>(link));
    sameLinks = other != nullptr && other->channels == info->channels && other->rate == info->rate;
  }
  PcmLayout layout{};
  if (sameLinks && info->channels > 0 && info->rate > 0 && frames > 0) {
    const auto bytes =
        static_cast<std::uint64_t>(info->channels) * 2 * static_cast<std::uint64_t>(frames);
    layout = {static_cast<std::uint32_t>(info->channels), 16,
              static_cast<std::uint32_t>(std::min<long>(info->rate, 0xFFFFFFFF)),
              static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes, 0xFFFFFFFF))};
  }
  if (!Acceptable(layout) || SoundEnabled == 0) {
    ov_clear(&stream);
    return Acceptable(layout) ? 1 : 0;
  }

  CreateBuffer(slot, layout);
  std::uint32_t bytes = 0;
  std::uint8_t* data = LockBuffer(slot, bytes);
  int section = 0;
  for (std::uint32_t written = 0; written < bytes;) {
    const int request =
        static_cast<int>(std::min<std::uint32_t>(kOggRequestBytes, bytes - written));
    const long got =
        ov_read(&stream, reinterpret_cast<char*>(data + written), request, 0, 2, 1, &section);
    if (got == 0) break;
    // A gap in the stream is passed over; any other error ends the decoding (it could repeat).
    if (got == OV_HOLE) continue;
    if (got < 0) break;
    written += static_cast<std::uint32_t>(got);
  }
  UnlockBuffer(slot);
  ov_clear(&stream);
  return 1;
}

}  // namespace veskor
