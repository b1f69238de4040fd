// The folder graph stays acyclic and visible: every file under src/ belongs to one library of
// its folder, a library links exactly the libraries whose files its files include, the links
// form no cycle, and only the platform layer includes the system's GL, SDL, OpenAL, FreeType
// or X headers. The libraries, their sources and links come from CMake (VeskorFolderGraph).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace veskor {
namespace {

namespace fs = std::filesystem;

struct Library {
  std::string folder;
  std::set<std::string> sources;  // relative to src/
  std::set<std::string> links;
};
using Graph = std::map<std::string, Library>;

Graph ReadGraph(const std::string& path) {
  Graph graph;
  std::ifstream in(path);
  Library* current = nullptr;
  for (std::string kind, a, b; in >> kind >> a;) {
    if (kind == "target") {
      in >> b;
      current = &graph[a];
      current->folder = b;
    } else if (current != nullptr) {
      (kind == "source" ? current->sources : current->links)
          .insert(kind == "source" ? current->folder + "/" + a : a);
    }
  }
  return graph;
}

bool IsCode(const fs::path& p) {
  const std::string e = p.extension().string();
  return e == ".h" || e == ".hpp" || e == ".inc" || e == ".cpp" || e == ".cc";
}

// The library each file under src/ belongs to: the one listing it, else the one listing a
// source of the same stem (a header beside its source), else the folder's only library; ""
// when none of these decides.
std::map<std::string, std::string> Owners(const Graph& graph, const fs::path& src) {
  std::map<std::string, std::string> listed, byStem;
  std::map<std::string, std::set<std::string>> perFolder;
  for (const auto& [name, lib] : graph) {
    perFolder[lib.folder].insert(name);
    for (const std::string& s : lib.sources) {
      listed[s] = name;
      byStem[fs::path(s).replace_extension().string()] = name;
    }
  }
  std::map<std::string, std::string> owners;
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    if (!entry.is_regular_file() || !IsCode(entry.path())) continue;
    const std::string file = entry.path().lexically_relative(src).generic_string();
    const std::string folder = file.substr(0, file.find('/'));
    const std::string stem = fs::path(file).replace_extension().string();
    const auto& inFolder = perFolder[folder];
    owners[file] = listed.count(file)     ? listed[file]
                   : byStem.count(stem)   ? byStem[stem]
                   : inFolder.size() == 1 ? *inFolder.begin()
                                          : "";
  }
  return owners;
}

struct Include {
  std::string path;
  bool system;  // <...>
};
std::vector<Include> Includes(const fs::path& file) {
  std::vector<Include> includes;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string hash, name;
    words >> hash;
    if (hash == "#") words >> hash, hash = "#" + hash;
    if (hash != "#include" || !(words >> name) || name.size() < 3) continue;
    includes.push_back({name.substr(1, name.find_first_of(">\"", 1) - 1), name[0] == '<'});
  }
  return includes;
}

TEST(FolderGraph, EveryIncludeIsLinkedEveryLinkIncludedAndNoLinkCycles) {
  const fs::path src = VESKOR_SOURCE_DIR "/src";
  const Graph graph = ReadGraph(VESKOR_FOLDER_GRAPH);
  ASSERT_TRUE(graph.count("veskor_foundation") && graph.count("veskor_platform_gl"))
      << "no folder graph in " VESKOR_FOLDER_GRAPH;
  const auto owners = Owners(graph, src);

  std::map<std::string, std::set<std::string>> used;  // library -> libraries it includes
  for (const auto& [file, owner] : owners) {
    const std::string folder = file.substr(0, file.find('/'));
    EXPECT_NE(owner, "") << "src/" << file << " belongs to no library: list it in a library of "
                         << "src/" << folder << "/CMakeLists.txt";
    for (const Include& inc : Includes(src / file)) {
      if (inc.system) {
        static const char* const kPlatformOnly[] = {"GL/", "SDL", "AL/", "ft2build", "X11/"};
        for (const char* prefix : kPlatformOnly)
          EXPECT_TRUE(folder == "platform" || inc.path.rfind(prefix, 0) != 0)
              << "src/" << file << " includes <" << inc.path << ">: go through src/platform";
        continue;
      }
      const auto target = owners.find(inc.path);
      if (target == owners.end() || target->second == owner || owner.empty()) continue;
      used[owner].insert(target->second);
      EXPECT_TRUE(graph.at(owner).links.count(target->second))
          << "src/" << file << " includes " << inc.path << " of " << target->second << ", but "
          << owner << " does not link it";
    }
  }
  for (const auto& [name, lib] : graph)
    for (const std::string& link : lib.links)
      EXPECT_TRUE(!graph.count(link) || used[name].count(link))
          << name << " links " << link << " but includes nothing of it";

  // Depth-first over the links; a library met again while on the path closes a cycle.
  std::map<std::string, int> state;  // 1 on the path, 2 done
  std::vector<std::string> path;
  std::function<void(const std::string&)> visit = [&](const std::string& name) {
    state[name] = 1;
    path.push_back(name);
    for (const std::string& link : graph.at(name).links) {
      if (!graph.count(link)) continue;
      if (state[link] == 1) {
        std::string cycle;
        for (auto it = std::find(path.begin(), path.end(), link); it != path.end(); ++it)
          cycle += *it + " -> ";
        ADD_FAILURE() << "link cycle: " << cycle << link;
      } else if (state[link] == 0) {
        visit(link);
      }
    }
    path.pop_back();
    state[name] = 2;
  };
  for (const auto& entry : graph)
    if (state[entry.first] == 0) visit(entry.first);
}

}  // namespace
}  // namespace veskor
