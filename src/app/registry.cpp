#include "app/registry.h"

#include <cstring>
#include <string>

namespace veskor {

std::uint32_t RegReadValue(SettingsRoot root, const char* key, const char* name, char* out) {
  std::string value;
  if (SettingsReadString(root, key, name != nullptr ? name : "", &value) !=
          SettingsLookup::kFound ||
      value.size() + 1 > kRegValueBytes)
    return 0;
  std::memcpy(out, value.c_str(), value.size() + 1);
  return 1;
}

std::uint32_t RegReadString(SettingsRoot root, const char* key, char* out) {
  return RegReadValue(root, key, "", out);
}

std::uint32_t RegWriteString(SettingsRoot root, const char* key, const char* name,
                             const char* text) {
  return SettingsWriteString(root, key, name != nullptr ? name : "", text) ? 1 : 0;
}

}  // namespace veskor
