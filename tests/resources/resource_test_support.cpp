#include "resources/resource_test_support.h"

#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <set>
#include <sstream>

#include "foundation/search_dirs.h"

extern char** environ;

namespace veskor::test {

const std::vector<ImagePlace>& LanguageImagePlaces() {
  // Menu-bar buttons hang 10 pixels above the 113-pixel bar, each within its slot up to the
  // next one (0 to 102, 102 to 208, 208 to 340, the last 124 pixels); the toggles and the
  // focal label stand in 28-pixel rows at x 340, before the focal angle at 425; close buttons
  // sit 75 x 35 pixels from their panel's corner.
  static const std::vector<ImagePlace> places = {
      {"inter_world_0.png", 110, 123, true, "inter_world_mask_0.png"},
      {"inter_world_1.png", 110, 123, true, "inter_world_mask_1.png"},
      {"inter_view_0.png", 106, 123, true, "inter_view_mask_0.png"},
      {"inter_view_1.png", 106, 123, true, "inter_view_mask_1.png"},
      {"inter_setup_0.png", 132, 123, true, "inter_setup_mask_0.png"},
      {"inter_setup_1.png", 132, 123, true, "inter_setup_mask_1.png"},
      {"inter_veskor_0.png", 124, 123, true, "inter_veskor_mask_0.png"},
      {"inter_veskor_1.png", 124, 123, true, "inter_veskor_mask_1.png"},
      {"inter_examine_0.png", 85, 28, true, "inter_examine_mask.png"},
      {"inter_examine_1.png", 85, 28, true, "inter_examine_mask.png"},
      {"inter_saveview_0.png", 85, 28, true, "inter_saveview_mask.png"},
      {"inter_saveview_1.png", 85, 28, true, "inter_saveview_mask.png"},
      {"inter_yfocal_0.png", 85, 28, false, "inter_yfocal_mask.png"},
      {"inter_close_0.png", 70, 30, true, "inter_close_mask.png"},
      {"inter_close_1.png", 70, 30, true, "inter_close_mask.png"},
  };
  return places;
}

const std::vector<ImagePlace>& SharedImagePlaces() {
  // The border strip is stretched over the screen's width, 3 or 4 pixels high; progress tiles
  // repeat along 12-pixel bars (16, the next power of two, squeezed); the slider's track is
  // stretched over 170 x 31 pixels and its thumb drawn at 16 x 32; setup check boxes stand in
  // 25-pixel rows, 55 pixels before the slider beside them. The welcome panel is 500 x 340
  // and holds its pictures at their places: 85 and 280 pixels from its right side, the pages
  // 440 x 70 at 100 pixels from its bottom. The help page is stretched to 937 x 514 and holds
  // the online-help button 340 x 100 pixels from its corner.
  static const std::vector<ImagePlace> places = {
      {"inter_border_0.png", 1024, 4, true, "inter_border_1.png"},
      {"inter_progress_0.png", 16, 16, true, nullptr},
      {"inter_progress_1.png", 16, 16, true, nullptr},
      {"inter_set_1.png", 256, 32, true, nullptr},
      {"inter_set_2.png", 16, 32, true, "inter_set_2_mask.png"},
      {"inter_check_0.png", 55, 25, true, "inter_check_mask_0.png"},
      {"inter_check_1.png", 55, 25, true, "inter_check_mask_0.png"},
      {"inter_check_2.png", 55, 25, true, "inter_check_mask_2.png"},
      {"inter_welcome_0.png", 500, 340, false, nullptr},
      {"inter_welcome_5.png", 85, 310, false, "inter_welcome_mask_5.png"},
      {"inter_welcome_1.png", 470, 300, false, "inter_welcome_mask_1.png"},
      {"inter_welcome_41.png", 470, 310, false, "inter_welcome_mask_41.png"},
      {"inter_welcome_40.png", 470, 310, false, "inter_welcome_mask_40.png"},
      {"inter_welcome_3.png", 280, 305, false, "inter_welcome_mask_3.png"},
      {"inter_welcome_2.png", 440, 70, false, "inter_welcome_mask_2.png"},
      {"inter_welcome_61.png", 440, 70, false, "inter_welcome_mask_60.png"},
      {"inter_welcome_61.png", 440, 70, false, "inter_welcome_mask_61.png"},
      {"inter_welcome_61.png", 440, 70, false, "inter_welcome_mask_62.png"},
      {"inter_help_0.png", 937, 514, false, nullptr},
      {"inter_help_online_0.png", 300, 60, true, "inter_help_online_2.png"},
      {"inter_help_online_1.png", 300, 60, true, "inter_help_online_2.png"},
  };
  return places;
}

std::vector<std::string> ImageNames(const std::vector<ImagePlace>& places) {
  std::vector<std::string> names;
  std::set<std::string> seen;
  for (const ImagePlace& p : places)
    for (const char* n : {p.name, p.mask})
      if (n != nullptr && seen.insert(n).second) names.push_back(n);
  return names;
}

int RunProgram(const std::vector<std::string>& argv,
               const std::optional<std::vector<std::string>>& env) {
  auto pointers = [](const std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (const std::string& s : strings) p.push_back(const_cast<char*>(s.c_str()));
    p.push_back(nullptr);
    return p;
  };
  std::vector<char*> args = pointers(argv);
  std::vector<char*> envp = env ? pointers(*env) : std::vector<char*>{};
  pid_t pid;
  if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), env ? envp.data() : environ) != 0)
    return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

std::optional<std::string> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::map<std::string, std::string> ReadStore(const std::string& text) {
  std::map<std::string, std::string> values;
  std::istringstream in(text);
  std::string line, key;
  // A quoted string from `i`, escapes resolved; `i` ends after the closing quote.
  auto quoted = [](const std::string& s, std::size_t& i) {
    std::string out;
    for (++i; i < s.size() && s[i] != '"'; ++i) out += s[i] == '\\' ? s[++i] : s[i];
    ++i;
    return out;
  };
  while (std::getline(in, line)) {
    if (line.size() > 1 && line.front() == '[' && line.back() == ']') {
      key = line.substr(1, line.size() - 2);
    } else if (!line.empty() && line.front() == '"') {
      std::size_t i = 0;
      const std::string name = quoted(line, i);
      if (line.compare(i, 2, "=\"") != 0) continue;
      ++i;
      values[key + "|" + name] = quoted(line, i);
    }
  }
  return values;
}

std::vector<std::string> StoreWriterArgs(const std::string& dir) {
  return {VESKOR_WRITE_SETTINGS_STORE,
          "--product",
          kProductDir,
          "--working",
          kSourceDir + "examples",
          "--store",
          dir + "registry",
          "--binary",
          dir + "user"};
}

bool UseWrittenStoreDirs(const std::string& dir) {
  if (RunProgram(StoreWriterArgs(dir)) != 0) return false;
  const auto store = ReadStore(ReadBytes(dir + "registry").value_or(""));
  const std::string paths = "Software\\Dovek software\\veskor\\Paths|";
  auto at = [&](const char* name) {
    const auto found = store.find(paths + name);
    return found == store.end() ? std::string() : found->second;
  };
  if (at("VeskorDir").empty()) return false;
  ExtraSearchDirsClear();
  return SetSearchDirs(at("VeskorDir").c_str(), at("BinaryDir").c_str(), at("SystemDir").c_str(),
                       at("ResourceDir").c_str(), at("WorkingDir").c_str());
}

}  // namespace veskor::test
