// Feeds arbitrary bytes to the settings store's reader as a store file, looks a few values up,
// writes one and reads it back. Any crash or sanitizer report is a fault of the reader; a
// written value that does not read back as written, or that changes another value, is one of
// the writer; a text that begins with a byte-order mark and is not written back with it, one
// of either.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/settings_store.h"

namespace {

constexpr std::string_view kKey = "Software\\Dovek software\\veskor\\Settings";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  veskor::SettingsText store(text);
  std::string before, value;
  const auto other = store.Read(kKey, "YSize", &before);
  for (std::string_view name : {"XSize", "", "a\"b", "FullScreenSize"}) store.Read(kKey, name, &value);

  // The value to write: the first bytes of the input, which may hold quotes and backslashes.
  const std::string written(text.substr(0, 24));
  const bool keyExists = store.Read(kKey, "XSize", &value) != veskor::SettingsLookup::kNoKey;
  const bool storable = written.find_first_of(std::string_view("\n\r\0", 3)) == std::string::npos;
  if (store.Write(kKey, "XSize", written) != (keyExists && storable)) std::abort();
  veskor::SettingsText reread(store.Text());
  if (keyExists && storable) {
    if (reread.Read(kKey, "XSize", &value) != veskor::SettingsLookup::kFound || value != written)
      std::abort();
  }
  std::string after;
  if (reread.Read(kKey, "YSize", &after) != other || after != before) std::abort();
  if (text.starts_with("\xEF\xBB\xBF") != store.Text().starts_with("\xEF\xBB\xBF")) std::abort();
  return 0;
}
