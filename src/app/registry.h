// The registry operations of the application shell over the settings store: string values read
// through a 512-byte buffer, written into keys that must already exist.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/settings_store.h"

namespace veskor {

// Root keys.
inline constexpr SettingsRoot kHkeyCurrentUser = SettingsRoot::kCurrentUser;
inline constexpr SettingsRoot kHkeyClassesRoot = SettingsRoot::kClassesRoot;

// The program's keys under the current user.
inline constexpr const char* kRegRootKey = "Software\\Dovek software\\veskor";
inline constexpr const char* kRegPathsKey = "Software\\Dovek software\\veskor\\Paths";
inline constexpr const char* kRegSettingsKey = "Software\\Dovek software\\veskor\\Settings";
inline constexpr const char* kRegRenderLodKey = "Software\\Dovek software\\veskor\\RenderLOD";

// The buffer a value is read through: a value of more than 511 characters cannot be read.
inline constexpr std::size_t kRegValueBytes = 512;

// 1 and the text in `out` (kRegValueBytes long) when `key` holds the string value `name` and
// it fits the buffer with its terminating zero; else 0, and `out` is left as it was.
std::uint32_t RegReadValue(SettingsRoot root, const char* key, const char* name, char* out);
// The same for the key's default (unnamed) value.
std::uint32_t RegReadString(SettingsRoot root, const char* key, char* out);
// 1 when the string value was written into the existing key; 0 when the key is missing or the
// store cannot be written.
std::uint32_t RegWriteString(SettingsRoot root, const char* key, const char* name,
                             const char* text);

}  // namespace veskor
