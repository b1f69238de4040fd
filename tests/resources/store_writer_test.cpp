// The store writer: every key the program reads at start, with the values of a fresh
// installation; where the store goes; an existing store never changes.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "resources/resource_test_support.h"
#include "support/own_file_system.h"
#include "support/refused_call.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

namespace fs = std::filesystem;

const std::string kRoot = "Software\\Dovek software\\veskor";

TEST(StoreWriter, WritesEveryKeyWithAFreshInstallationsValues) {
  test::TempDir dir("veskor_store");
  ASSERT_EQ(test::RunProgram(test::StoreWriterArgs(dir.path())), 0);
  const auto store = test::ReadStore(test::ReadBytes(dir.Path("registry")).value_or(""));
  const std::string product = fs::path(test::kProductDir).lexically_normal().string();
  const std::map<std::string, std::string> expected = {
      {kRoot + "|FirstLaunch", "TRUE"},
      {kRoot + "|IDL", "0"},
      {kRoot + "\\Paths|VeskorDir", product},
      {kRoot + "\\Paths|BinaryDir", dir.Path("user/")},
      {kRoot + "\\Paths|SystemDir", product + "system/"},
      {kRoot + "\\Paths|ResourceDir", product + "resources/"},
      {kRoot + "\\Paths|WorkingDir", test::kSourceDir + "examples/"},
      {kRoot + "\\Settings|XSize", "1024"},
      {kRoot + "\\Settings|YSize", "768"},
      {kRoot + "\\Settings|XPos", "50"},
      {kRoot + "\\Settings|YPos", "50"},
      {kRoot + "\\Settings|ColorBits", "32"},
      {kRoot + "\\Settings|DepthBits", "24"},
      {kRoot + "\\Settings|StencilBits", "8"},
      {kRoot + "\\Settings|FullScreenMode", "FALSE"},
      {kRoot + "\\Settings|FullScreenSize", "1024x768"},
      {kRoot + "\\Settings|MultiSampleMode", "FALSE"},
      {kRoot + "\\Settings|MultiSampleQuality", "FASTEST"},
      {kRoot + "\\Settings|MultiSampleSize", "2"},
      {kRoot + "\\Settings|FPS", "FALSE"},
      {kRoot + "\\Settings|PPS", "FALSE"},
      {kRoot + "\\RenderLOD|ObjectGeo", "0.500"},
      {kRoot + "\\RenderLOD|ObjectTex", "0.250"},
      {kRoot + "\\RenderLOD|TerrainGeo", "0.500"},
      {kRoot + "\\RenderLOD|TerrainTex", "0.125"},
      {kRoot + "\\RenderLOD|Portal", "0.750"},
      {kRoot + "\\RenderLOD|CloudLow", "0.000"},
      {kRoot + "\\RenderLOD|Overall", "0.500"},
      {kRoot + "\\RenderLOD|IsLangCtrlLOD", "FALSE"},
  };
  EXPECT_EQ(store, expected);
  EXPECT_TRUE(fs::is_directory(dir.Path("user")));
}

TEST(StoreWriter, LeavesAnExistingStoreAsItIs) {
  test::TempDir dir("veskor_store");
  for (const char* existing : {"not a store at all\n", "\n"}) {
    dir.Write("registry", existing);
    testing::internal::CaptureStderr();
    EXPECT_EQ(test::RunProgram(test::StoreWriterArgs(dir.path())), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "write_settings_store: " + dir.Path("registry") + " exists and stays as it is\n");
    EXPECT_EQ(test::ReadBytes(dir.Path("registry")), existing);
  }
  // Its own store too, byte for byte; a second writer gives the same bytes elsewhere.
  fs::remove(dir.Path("registry"));
  ASSERT_EQ(test::RunProgram(test::StoreWriterArgs(dir.path())), 0);
  const auto first = test::ReadBytes(dir.Path("registry"));
  ASSERT_EQ(test::RunProgram(test::StoreWriterArgs(dir.path())), 0);
  EXPECT_EQ(test::ReadBytes(dir.Path("registry")), first);
  test::TempDir other("veskor_store");
  auto args = test::StoreWriterArgs(dir.path());
  args[6] = other.Path("registry");
  ASSERT_EQ(test::RunProgram(args), 0);
  EXPECT_EQ(test::ReadBytes(other.Path("registry")), first);
  const auto left = fs::directory_iterator(other.path());
  EXPECT_EQ(std::distance(begin(left), end(left)), 1);  // no temporary beside it
}

// An empty store (0 bytes) holds nothing that could be lost: it is filled as a fresh one is
// written, also through a link to it, which stays a link. A link that names no file yet is
// followed to its end, where the store is made (the links stay); a store that another program
// makes there meanwhile is kept. What cannot be a store (a directory, a FIFO, a socket, a
// device, a loop of links) stays as it is, the reason is said, and the writer ends with status 1.
TEST(StoreWriter, FillsAnEmptyStoreAndLeavesADirectory) {
  test::TempDir dir("veskor_store");
  const std::string store = dir.Path("registry"), target = dir.Path("target");
  ASSERT_EQ(test::RunProgram(test::StoreWriterArgs(dir.path())), 0);
  const auto fresh = test::ReadBytes(store);
  ASSERT_TRUE(fresh.has_value() && !fresh->empty());
  // Each name in the folder with its kind, a link with its text, a directory with its entries.
  auto listing = [&] {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path())) {
      const auto type = fs::symlink_status(e.path()).type();
      std::string name = e.path().filename().string() + " " + std::to_string(int(type));
      if (type == fs::file_type::symlink) name += " -> " + fs::read_symlink(e.path()).string();
      if (type == fs::file_type::directory)
        name += " " + std::to_string(std::distance(fs::directory_iterator(e.path()), {}));
      names.insert(name);
    }
    return names;
  };
  // kWrittenMeanwhile: empty (or not there) when the writer looks, written by another program
  // before the writer fills it (as it makes the user's directory).
  enum Kind {
    kEmptyFile,
    kLinkToEmptyFile,
    kDirectory,
    kLinkToDirectory,
    kWrittenMeanwhile,
    kFifo,
    kSocket,
    kLinkToDevice,
    kLinkLoop,
    kDanglingLink,
    kDanglingWrittenMeanwhile,
    kDanglingTooFar,
    kDanglingLongerMeanwhile,
    kTheirLinkToEmptyFile,  // links that a user of the test's own made (as root)
    kTheirDanglingLink
  };
  const uid_t other = 0x7F000000u + static_cast<uid_t>(getpid());
  const std::string theirs = "cannot reach the store " + store + ": the link " + store +
                             " belongs to user " + std::to_string(other) +
                             ", not to this run's user: it is not followed";
  const std::string loop =
      "cannot reach the store " + store + ": Too many levels of symbolic links";
  const struct {
    Kind kind;
    int status;
    std::string said;
  } cases[] = {
      {kWrittenMeanwhile, 0, store + " exists and stays as it is"},
      {kEmptyFile, 0, "wrote " + store},
      {kLinkToEmptyFile, 0, "wrote " + store},
      {kDanglingLink, 0, "wrote " + store},
      {kDanglingWrittenMeanwhile, 0, store + " exists and stays as it is"},
      {kFifo, 1, store + " is a FIFO, not a regular file: it stays as it is"},
      {kSocket, 1, store + " is a socket, not a regular file: it stays as it is"},
      {kLinkToDevice, 1, store + " is a character device, not a regular file: it stays as it is"},
      {kLinkLoop, 1, loop},
      {kDanglingTooFar, 1, loop},
      {kDanglingLongerMeanwhile, 1, loop},  // a 41st link made as the writer follows them
      {kTheirLinkToEmptyFile, 1, theirs},
      {kTheirDanglingLink, 1, theirs},
      {kDirectory, 1, store + " is a directory: it stays as it is"},
      {kLinkToDirectory, 1, store + " is a directory: it stays as it is"},
  };
  for (const auto& c : cases) {
    const bool theirLink = c.kind == kTheirLinkToEmptyFile || c.kind == kTheirDanglingLink;
    if (theirLink && geteuid() != 0) continue;
    SCOPED_TRACE(c.kind);
    fs::remove_all(store);
    fs::remove_all(target);
    fs::remove(dir.Path("target2"));
    for (int i = 1; i <= 41; ++i) fs::remove(dir.Path("hop" + std::to_string(i)));
    const bool link = c.kind == kLinkToEmptyFile || c.kind == kLinkToDirectory;
    const bool dangling = c.kind == kDanglingLink || c.kind == kDanglingWrittenMeanwhile ||
                          c.kind == kDanglingLongerMeanwhile;
    if (c.kind == kEmptyFile || c.kind == kWrittenMeanwhile) dir.Write("registry", "");
    if (c.kind == kLinkToEmptyFile) dir.Write("target", "");
    if (c.kind == kDirectory || c.kind == kLinkToDirectory)
      fs::create_directory(link ? target : store);
    if (link) fs::create_symlink(target, store);
    if (c.kind == kFifo) {
      ASSERT_EQ(mkfifo(store.c_str(), 0600), 0);
    }
    const int socket = c.kind == kSocket ? ::socket(AF_UNIX, SOCK_STREAM, 0) : -1;
    if (c.kind == kSocket) {
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      std::snprintf(address.sun_path, sizeof address.sun_path, "%s", store.c_str());
      ASSERT_EQ(bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    if (c.kind == kLinkToDevice) fs::create_symlink("/dev/null", store);
    if (c.kind == kTheirLinkToEmptyFile) dir.Write("target", "");
    if (theirLink) {
      fs::create_symlink(target, store);
      ASSERT_EQ(lchown(store.c_str(), other, other), 0);
    }
    // The store's link, then "hop1", "hop2"... by relative names, the last one's text absolute:
    // 40 links are followed, 41 are a loop, as the system counts them.
    const int links = c.kind == kLinkLoop ? 2 : c.kind == kDanglingTooFar ? 41 : dangling ? 40 : 0;
    for (int i = 1; i <= links; ++i) {
      const std::string text = i < links ? "hop" + std::to_string(i) : links == 2 ? store : target;
      fs::create_symlink(text, i == 1 ? store : dir.Path("hop" + std::to_string(i - 1)));
    }
    const bool written = c.kind == kWrittenMeanwhile || c.kind == kDanglingWrittenMeanwhile;
    const bool longer = c.kind == kDanglingLongerMeanwhile;
    std::optional<test::ScopedEnv> shim, raceDir, raceStore, raceLink, raceLinkTo, asanOptions;
    if (written || longer) {
      fs::remove_all(dir.Path("user"));
      const char* options = std::getenv("ASAN_OPTIONS");
      const std::string checked =
          std::string(options != nullptr ? options : "") + ":verify_asan_link_order=0";
      asanOptions.emplace("ASAN_OPTIONS", checked.c_str());  // the shim comes first
      shim.emplace("LD_PRELOAD", VESKOR_STORE_RACE_SHIM);
      raceDir.emplace("VESKOR_TEST_RACE_DIR", dir.Path("user").c_str());
      if (written) raceStore.emplace("VESKOR_TEST_RACE_STORE", store.c_str());
      if (longer) raceLink.emplace("VESKOR_TEST_RACE_LINK", target.c_str());
      if (longer) raceLinkTo.emplace("VESKOR_TEST_RACE_LINK_TO", "target2");
    }
    const auto before = listing();
    testing::internal::CaptureStderr();
    EXPECT_EQ(test::RunProgram(test::StoreWriterArgs(dir.path())), c.status);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "write_settings_store: " + c.said + "\n");
    if (socket >= 0) close(socket);
    EXPECT_EQ(fs::is_symlink(store), link || links > 0 || c.kind == kLinkToDevice || theirLink);
    const std::string end = link || dangling ? target : store;
    if (written) {
      EXPECT_EQ(test::ReadBytes(end), "x\n");  // the other program's text, kept
    } else if (c.status == 0) {
      EXPECT_EQ(test::ReadBytes(end), fresh);
    } else if (longer) {
      EXPECT_FALSE(fs::exists(dir.Path("target2")));
    } else {
      EXPECT_EQ(listing(), before);
    }
  }
  const auto left = fs::directory_iterator(dir.path());
  EXPECT_EQ(std::distance(begin(left), end(left)), 3);  // the store, "target", "user/"
}

TEST(StoreWriter, PlacesTheStoreAndTheUsersDirectoryByTheEnvironment) {
  const struct {
    std::vector<std::string> env;
    std::string store;
    const char* user;
  } cases[] = {
      // A store of the longest names, whose temporary's is cut to fit.
      {{"VESKOR_REGISTRY=@" + std::string(236, 's'), "HOME=@h"},
       std::string(236, 's'),
       "h/.local/share/veskor/"},
      {{"VESKOR_REGISTRY=@" + std::string(237, 's'), "HOME=@h"},
       std::string(237, 's'),
       "h/.local/share/veskor/"},
      {{"VESKOR_REGISTRY=@" + std::string(255, 's'), "HOME=@h"},
       std::string(255, 's'),
       "h/.local/share/veskor/"},
      {{"VESKOR_REGISTRY=@a/reg", "XDG_CONFIG_HOME=@c", "HOME=@h"},
       "a/reg",
       "h/.local/share/veskor/"},
      {{"XDG_CONFIG_HOME=@c", "XDG_DATA_HOME=@d", "HOME=@h"}, "c/veskor/registry", "d/veskor/"},
      {{"HOME=@h"}, "h/.config/veskor/registry", "h/.local/share/veskor/"},
      // A relative base directory is no base directory.
      {{"XDG_CONFIG_HOME=c", "XDG_DATA_HOME=@d", "HOME=@h"},
       "h/.config/veskor/registry",
       "d/veskor/"},
      {{"XDG_CONFIG_HOME=@c", "XDG_DATA_HOME=d", "HOME=@h"},
       "c/veskor/registry",
       "h/.local/share/veskor/"},
      // An empty one is unset, and not said.
      {{"XDG_CONFIG_HOME=", "XDG_DATA_HOME=", "HOME=@h"},
       "h/.config/veskor/registry",
       "h/.local/share/veskor/"},
      {{"XDG_CONFIG_HOME=", "XDG_DATA_HOME=./d", "HOME=@h"},
       "h/.config/veskor/registry",
       "h/.local/share/veskor/"},
  };
  for (const auto& c : cases) {
    test::TempDir dir("veskor_store");
    std::vector<std::string> env;
    for (std::string v : c.env)
      env.push_back(v.find('@') == std::string::npos ? v : v.replace(v.find('@'), 1, dir.path()));
    // What the writer says: each relative base directory, then the store it wrote.
    std::string said;
    for (const std::string& v : env)
      if (v.starts_with("XDG_") && !v.ends_with('=') && v[v.find('=') + 1] != '/')
        said += "write_settings_store: " + v + " is not an absolute path: it is ignored\n";
    said += "write_settings_store: wrote " + dir.Path(c.store) + "\n";
    testing::internal::CaptureStderr();
    const int status = test::RunProgram(
        {VESKOR_WRITE_SETTINGS_STORE, "--product", test::kProductDir, "--working", test::kSourceDir},
        env);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), said) << c.store;
    ASSERT_EQ(status, 0);
    const auto store = test::ReadStore(test::ReadBytes(dir.Path(c.store)).value_or(""));
    EXPECT_EQ(store.size(), 29u) << c.store;
    EXPECT_EQ(store.count(kRoot + "\\Paths|BinaryDir") ? store.at(kRoot + "\\Paths|BinaryDir") : "",
              dir.Path(c.user));
    EXPECT_TRUE(fs::is_directory(dir.Path(c.user)));
  }
}

// The owner, group and kind of each file and folder under `dir`, by name: "name uid:gid d|f".
std::set<std::string> Owners(const std::string& dir) {
  std::set<std::string> owners;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    struct stat st {};
    if (lstat(e.path().c_str(), &st) == 0)
      owners.insert(e.path().string().substr(dir.size()) + " " + std::to_string(st.st_uid) + ":" +
                    std::to_string(st.st_gid) + (S_ISDIR(st.st_mode) ? " d" : " f"));
  }
  return owners;
}

// The store writer's status, run as root in a forked child whose change of owner is refused
// (as a file system that keeps no owners, or one mounted for another user, refuses it), with
// what it said in `said`.
int RunWithOwnersRefused(const std::vector<std::string>& args, const std::vector<std::string>& env,
                         const std::string& said) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int fd = open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || dup2(fd, STDERR_FILENO) < 0 || !test::RefuseCall(__NR_fchown, 0, 1 << 20, EPERM))
      _exit(90);
    _exit(test::RunProgram(args, env));
  }
  int status = -1;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The store writer makes its folders as the program writes its files. Run as root (sudo -E) for
// a user whose home it is, each folder it makes and the store are that user's, in the home's
// group, so that the user's own runs can read and write them; where they cannot be given to
// the user, nothing is made and the reason is said. A folder of the path that another user's
// link leads to is not made, nor written in.
TEST(StoreWriter, MakesItsFoldersAlongOwnLinksOnlyAndGivesThemToTheUsersHome) {
  if (geteuid() != 0) GTEST_SKIP() << "folders of another user are made as root";
  const uid_t other = 0x7F000000u + static_cast<uid_t>(getpid());
  const std::string user = std::to_string(other) + ":4321";
  test::TempDir dir("veskor_store");
  const std::vector<std::string> args = {VESKOR_WRITE_SETTINGS_STORE, "--product",
                                         test::kProductDir, "--working", test::kSourceDir};
  const std::string home = dir.Path("home/"), said = dir.Path("said");
  const std::vector<std::string> env = {"HOME=" + home.substr(0, home.size() - 1)};
  const auto makeHome = [&] {
    fs::remove_all(home);
    ASSERT_EQ(mkdir(home.c_str(), 0755) | chown(home.c_str(), other, 4321), 0);
  };
  makeHome();
  testing::internal::CaptureStderr();
  EXPECT_EQ(test::RunProgram(args, env), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "write_settings_store: wrote " + home + ".config/veskor/registry\n");
  EXPECT_EQ(
      Owners(home),
      (std::set<std::string>{".config " + user + " d", ".config/veskor " + user + " d",
                             ".config/veskor/registry " + user + " f", ".local " + user + " d",
                             ".local/share " + user + " d", ".local/share/veskor " + user + " d"}));

  // Nothing can be given to the user: neither the first folder, nor the store where the folders
  // are there already (its temporary gone too).
  makeHome();
  EXPECT_EQ(RunWithOwnersRefused(args, env, said), 1);
  const std::string refused = ": it cannot be given to user " + std::to_string(other) +
                              ", whose folder it is in: Operation not permitted\n";
  EXPECT_EQ(test::ReadBytes(said).value_or(""), "write_settings_store: cannot make the directory " +
                                                    home + ".local/share/veskor/" + refused);
  EXPECT_EQ(Owners(home), std::set<std::string>{});
  for (const char* folder : {".config/veskor", ".local/share/veskor"}) {
    fs::create_directories(home + folder);
    for (const auto& e : fs::recursive_directory_iterator(home))
      ASSERT_EQ(chown(e.path().c_str(), other, 4321), 0);
  }
  EXPECT_EQ(RunWithOwnersRefused(args, env, said), 1);
  EXPECT_EQ(test::ReadBytes(said).value_or(""), "write_settings_store: cannot write the store " +
                                                    home + ".config/veskor/registry" + refused);
  EXPECT_EQ(Owners(home + ".config/veskor/"), std::set<std::string>{});

  // The user's directory through another user's link, to a folder of root's alone.
  const std::string secret = dir.Path("secret/"), theirs = dir.Path("theirs/");
  ASSERT_EQ(mkdir(secret.c_str(), 0700) | mkdir(theirs.c_str(), 0755), 0);
  ASSERT_EQ(symlink(secret.c_str(), (theirs + "wb").c_str()) |
                lchown((theirs + "wb").c_str(), other, other),
            0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(test::RunProgram({VESKOR_WRITE_SETTINGS_STORE, "--product", test::kProductDir,
                              "--working", test::kSourceDir, "--store", dir.Path("registry"),
                              "--binary", theirs + "wb/x"}),
            1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "write_settings_store: cannot make the directory " + theirs + "wb/x/: the link " +
                theirs + "wb belongs to user " + std::to_string(other) +
                ", not to this run's user: it is not followed\n");
  EXPECT_TRUE(fs::is_empty(secret));
  EXPECT_FALSE(fs::exists(dir.Path("registry")));
}

// An empty --store names no file (it is not --store left out, which takes the default), nor
// does one whose last part is empty, "." or ".." (a folder, there or not, by --store or by
// $VESKOR_REGISTRY; relative names from where the writer was started); a product directory that
// is not there, or is no directory, would give a store whose folders point nowhere. Either ends
// the writer with status 1, the reason said, nothing written or made; a link to the product
// directory is one. So does a folder that cannot be made, named in the reason: the binary
// folder, a file in its way; the store's, a link to nowhere, the binary folder made before it.
TEST(StoreWriter, RefusesAStoreNameOfNoFileAndAProductThatIsNoDirectory) {
  test::TempDir dir("veskor_store");
  const std::string file = dir.Write("file", ""), none = dir.Path("none");
  fs::create_directory_symlink(test::kProductDir, dir.Path("product"));
  fs::create_directory_symlink("gone/deeper", dir.Path("nowhere"));
  const std::string folder = " names a folder, not a store's file: nothing is made";
  const struct {
    std::size_t arg;  // of StoreWriterArgs; 6 and `env`: $VESKOR_REGISTRY with no --store
    std::string value;
    int status;
    std::string said;
    bool env = false;
  } cases[] = {
      {6, "", 1, "--store names no file: its name is empty"},
      {6, dir.Path("missing/"), 1, dir.Path("missing/") + folder},
      {6, dir.Path("missing/."), 1, dir.Path("missing/.") + folder},
      {6, dir.Path("missing/.."), 1, dir.Path("missing/..") + folder},
      {6, dir.path(), 1, dir.path() + folder},  // there, ending with '/'
      {6, "x/", 1, "x/" + folder},
      {6, ".", 1, "." + folder},
      {6, "missing/", 1, "missing/" + folder, true},
      {6, "missing/.x", 0, "wrote missing/.x"},  // a hidden file's name
      {2, none, 1, "no product directory at " + none + ": No such file or directory"},
      {2, file, 1, "no product directory at " + file + ": Not a directory"},
      {8, file + "/x", 1, "cannot make the directory " + file + "/x/: Not a directory"},
      {6, dir.Path("nowhere/registry"), 1,
       "cannot make the directory " + dir.Path("nowhere") + ": No such file or directory"},
      {2, dir.Path("product"), 0, "wrote " + dir.Path("registry")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    auto args = test::StoreWriterArgs(dir.path());
    args[c.arg] = c.value;
    std::vector<std::string> env{"HOME=" + dir.path()};
    if (c.env) {
      env.push_back("VESKOR_REGISTRY=" + c.value);
      args.erase(args.begin() + 5, args.begin() + 7);
    }
    // Started in `dir`, as `cd dir && write_settings_store ...` starts it.
    args.insert(args.begin(), {"/bin/sh", "-c", "cd \"$0\" && exec \"$@\"", dir.path()});
    testing::internal::CaptureStderr();
    EXPECT_EQ(test::RunProgram(args, env), c.status);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "write_settings_store: " + c.said + "\n");
    if (c.value == "missing/.x") {
      EXPECT_EQ(test::ReadStore(test::ReadBytes(dir.Path("missing/.x")).value_or("")).size(), 29u);
      fs::remove_all(dir.Path("missing"));
      fs::remove_all(dir.Path("user"));
      continue;
    }
    const auto store = test::ReadStore(test::ReadBytes(dir.Path("registry")).value_or(""));
    EXPECT_EQ(store.count(kRoot + "\\Paths|VeskorDir") ? store.at(kRoot + "\\Paths|VeskorDir") : "",
              c.status == 0 ? dir.Path("product/") : "");
    if (c.value == dir.Path("nowhere/registry")) {
      EXPECT_TRUE(fs::remove(dir.Path("user")));  // made before the store's folder
    }
    const auto all = fs::recursive_directory_iterator(dir.path());
    EXPECT_EQ(std::distance(begin(all), end(all)), c.status == 0 ? 5 : 3) << c.said;
  }
}

// On the small disk of the test's own, filled: the writer ends with status 1, naming the store
// and the reason, and leaves nothing of it (no temporary, no store); so it does when the close
// of its temporary fails (the shim makes it, as a network file system's may), giving the reason
// of the first call that failed. With room again and a close that succeeds, it writes the
// store. Then, with hard links refused (as FUSE vfat refuses them), a store made at its name
// whose close fails is taken away, but not another program's store put there meanwhile. The
// findings go out through the exit status, stderr to `said`.
int FullDiskChecks(const std::string& said) {
  const int fill = open("fill", O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const std::string block(4096, 'f');
  while (fill >= 0 && write(fill, block.data(), block.size()) > 0) {
  }
  const int err = open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fill < 0 || errno != ENOSPC || err < 0 || dup2(err, STDERR_FILENO) < 0) return 100;
  close(fill);
  const std::string disk = fs::current_path().string() + "/";
  auto args = test::StoreWriterArgs(disk);
  args[8] = said + "-user";  // the user's folder off the disk
  const char* options = std::getenv("ASAN_OPTIONS");
  setenv("ASAN_OPTIONS",
         (std::string(options != nullptr ? options : "") + ":verify_asan_link_order=0").c_str(), 1);
  setenv("LD_PRELOAD", VESKOR_STORE_RACE_SHIM, 1);
  // In turn: the disk full, then its close failing too; room, the close failing; room; no hard
  // links, the store's own close failing, then another store taking its name as it fails.
  const struct {
    bool full;
    const char* closeFails;  // in the names of the files whose close fails
    bool unlinkable, swapped;
    int status;
    std::string left;  // what is on the disk after it
  } steps[] = {{true, nullptr, false, false, 1, "fill "},
               {true, ".veskor-tmp-", false, false, 1, "fill "},
               {false, ".veskor-tmp-", false, false, 1, ""},
               {false, nullptr, false, false, 0, "registry "},
               {false, "/registry", true, false, 1, ""},
               {false, "/registry", true, true, 1, "registry "}};
  int check = 0;
  for (const auto& step : steps) {
    if (!step.full) unlink("fill");
    unlink("registry");
    step.closeFails != nullptr ? setenv("VESKOR_TEST_CLOSE_FAILS", step.closeFails, 1)
                               : unsetenv("VESKOR_TEST_CLOSE_FAILS");
    step.swapped ? setenv("VESKOR_TEST_CLOSE_SWAPS", "other\n", 1)
                 : unsetenv("VESKOR_TEST_CLOSE_SWAPS");
    if (step.unlinkable && !(test::RefuseCall(__NR_link, 0, -1, EPERM) &&
                             test::RefuseCall(__NR_linkat, 0, -1, EPERM)))
      return 101;
    if (++check, test::RunProgram(args) != step.status) return check;
    std::string left;
    for (const auto& e : fs::directory_iterator(disk)) left += e.path().filename().string() + " ";
    if (++check, left != step.left) return check;
    if (++check, step.swapped && test::ReadBytes("registry") != "other\n") return check;
  }
  return 0;
}

TEST(StoreWriter, AFullDiskIsSaidWithTheStoreAndTheReasonAndLeavesNothing) {
  test::TempDir dir("veskor_store");
  fs::create_directory(dir.Path("disk"));
  const std::string said = dir.Path("said"), store = dir.Path("disk/registry");
  const int status = test::RunOnFileSystemOfItsOwn(dir.Path("disk"), "tmpfs", "size=64k",
                                                   [&] { return FullDiskChecks(said); });
  if (status == test::kNoFileSystemOfItsOwn)
    GTEST_SKIP() << "no small disk of the test's own: not root";
  EXPECT_EQ(status, 0) << "the first check that failed";
  const std::string cannot = "write_settings_store: cannot write the store " + store + ": ";
  EXPECT_EQ(test::ReadBytes(said), cannot + "No space left on device\n" + cannot +
                                       "No space left on device\n" + cannot +
                                       "Input/output error\nwrite_settings_store: wrote " +
                                       store + "\n" + cannot + "Input/output error\n" + cannot +
                                       "Input/output error\n");
}

// An empty store that is a file mounted on its own (`mount --bind`, as a container is given
// its settings), on a tmpfs of the test's own, and one on a FUSE vfat, which sets no modes: each
// is filled, the mount standing, no temporary left. A new store on the FUSE vfat, which keeps
// no hard links, is made at its name and written there. In `here`, the working folder; stderr to
// `said`; the number of the first check that fails is the status.
int MountedOrModelessChecks(const std::string& here, const std::string& said, bool bound) {
  const int err = open(said.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  if (err < 0 || dup2(err, STDERR_FILENO) < 0) return 100;
  struct stat mounted {};
  if (bound && (!test::WriteFileBytes("mounted", {}) || stat("mounted", &mounted) != 0 ||
                !test::WriteFileBytes("registry", {}) ||
                mount("mounted", "registry", nullptr, MS_BIND, nullptr) != 0))
    return test::kNoFileSystemOfItsOwn;
  if (!bound && !test::WriteFileBytes("registry", {})) return 101;
  int check = 0;
  if (++check, test::RunProgram(test::StoreWriterArgs(here)) != 0) return check;
  const auto store = test::ReadStore(test::ReadBytes(bound ? "mounted" : "registry").value_or(""));
  if (++check, store.count(kRoot + "\\Paths|BinaryDir") == 0 ||
                   store.at(kRoot + "\\Paths|BinaryDir") != here + "user/")
    return check;
  struct stat st {};
  if (++check, bound && (stat("registry", &st) != 0 || st.st_ino != mounted.st_ino)) return check;
  if (!bound) {
    auto args = test::StoreWriterArgs(here);
    args[6] = here + "new";
    if (++check, test::RunProgram(args) != 0 ||
                     test::ReadStore(test::ReadBytes("new").value_or("")) != store)
      return check;
    fs::remove("new");
  }
  std::set<std::string> left;
  for (const auto& e : fs::directory_iterator(here)) left.insert(e.path().filename().string());
  const std::set<std::string> kept = {"registry", "user"},
                              keptMounted = {"mounted", "registry", "user"};
  return ++check, left == (bound ? keptMounted : kept) ? 0 : check;
}

TEST(StoreWriter, AnEmptyStoreMountedOnItsOwnOrOnAFileSystemWithoutModesIsFilled) {
  test::TempDir dir("veskor_store");
  fs::create_directory(dir.Path("disk"));
  const std::string said = dir.Path("said");
  const int bound = test::RunOnFileSystemOfItsOwn(dir.Path("disk"), "tmpfs", "size=1m", [&] {
    return MountedOrModelessChecks(dir.Path("disk/"), said, true);
  });
  fs::create_directory(dir.Path("fat"));
  const int modeless = test::RunOnFatFileSystem(
      dir.Path("fat"), [&] { return MountedOrModelessChecks(dir.Path("fat/fat/"), said, false); });
  // A FAT disk mounted for another user, whose every file is that user's: what root makes
  // there is that user's already, though the file system can give no file an owner.
  fs::create_directory(dir.Path("users"));
  const uid_t other = 0x7F000000u + static_cast<uid_t>(getpid());
  const int users = test::RunOnFatFileSystem(
      dir.Path("users"),
      [&] { return MountedOrModelessChecks(dir.Path("users/fat/"), said, false); },
      "rw+,uid=" + std::to_string(other) + ",gid=4321");
  if (bound == test::kNoFileSystemOfItsOwn && modeless == test::kNoFileSystemOfItsOwn)
    GTEST_SKIP() << "no mounts of the test's own: not root, or no /dev/fuse, fusefat or mkfs.vfat";
  if (bound != test::kNoFileSystemOfItsOwn) {
    EXPECT_EQ(bound, 0) << "the first check that failed";
  }
  if (modeless != test::kNoFileSystemOfItsOwn) {
    EXPECT_EQ(modeless, 0) << "the first check that failed";
    EXPECT_EQ(users, 0) << "the first check that failed";
  }
  const std::string wrote = "write_settings_store: wrote ";
  std::string expected;
  if (bound != test::kNoFileSystemOfItsOwn) expected += wrote + dir.Path("disk/registry") + "\n";
  if (modeless != test::kNoFileSystemOfItsOwn)
    for (const char* disk : {"fat/fat/", "users/fat/"})
      expected += wrote + dir.Path(disk) + "registry\n" + wrote + dir.Path(disk) + "new\n";
  EXPECT_EQ(test::ReadBytes(said).value_or(""), expected);
}

// A file size limit (`ulimit -f`) that the store passes fails its write as a full disk does:
// the store and the reason said, status 1, nothing left of it (an empty store stays empty); a
// limit of the store's size writes it. The store new, empty, or a link to a store not there yet
// (made where it points).
TEST(StoreWriter, AFileSizeLimitBelowTheStoreIsSaidAndLeavesNothing) {
  test::TempDir dir("veskor_store");
  const std::string store = dir.Path("registry"), target = dir.Path("target");
  ASSERT_EQ(test::RunProgram(test::StoreWriterArgs(dir.path())), 0);
  const std::string written = test::ReadBytes(store).value_or("");
  // "unlinkable": a new store in a folder that takes no hard links (refused as FUSE vfat
  // refuses them), made at its name; "unlinkable by descriptor": the same, its folder named
  // through descriptor 9 and no standard input, so that the store is made as descriptor 0.
  constexpr int kFolderFd = 9;
  const std::string byDescriptor = "/proc/self/fd/" + std::to_string(kFolderFd) + "/registry";
  for (const std::string kind : {"new", "empty", "link", "unlinkable", "unlinkable by descriptor"}) {
    const bool unlinkable = kind.starts_with("unlinkable");
    const std::string named = kind == "unlinkable by descriptor" ? byDescriptor : store;
    for (const rlim_t limit : {written.size() - 1, written.size()}) {
      const bool fits = limit == written.size();
      SCOPED_TRACE(kind + (fits ? ", at the limit" : ", past it"));
      fs::remove(store);
      fs::remove(target);
      if (kind == "empty") dir.Write("registry", "");
      if (kind == "link") fs::create_symlink("target", store);
      testing::internal::CaptureStderr();
      const pid_t pid = fork();
      const rlimit fileSize{limit, limit};
      if (pid == 0) {
        auto args = test::StoreWriterArgs(dir.path());
        args[6] = named;  // --store's value
        if (named != store &&
            (dup2(open(dir.path().c_str(), O_RDONLY | O_DIRECTORY), kFolderFd) != kFolderFd ||
             close(0) != 0))
          _exit(98);
        _exit(setrlimit(RLIMIT_FSIZE, &fileSize) != 0 ||
                      (unlinkable && !(test::RefuseCall(__NR_link, 0, -1, EPERM) &&
                                       test::RefuseCall(__NR_linkat, 0, -1, EPERM)))
                  ? 99
                  : test::RunProgram(args) & 0xff);
      }
      int status = -1;
      EXPECT_EQ(waitpid(pid, &status, 0), pid);
      EXPECT_EQ(testing::internal::GetCapturedStderr(),
                fits ? "write_settings_store: wrote " + named + "\n"
                     : "write_settings_store: cannot write the store " +
                           (kind == "link" ? target : named) + ": File too large\n");
      EXPECT_EQ(status, fits ? 0 : 1 << 8);
      EXPECT_EQ(test::ReadBytes(store), fits              ? written
                                        : kind == "empty" ? std::optional<std::string>("")
                                                          : std::nullopt);
      struct stat made {};
      if (fits && unlinkable) {
        EXPECT_TRUE(stat(store.c_str(), &made) == 0 && (made.st_mode & 07777) == 0600);
      }
      // no temporary left: the user's folder, and the store or its link and what it points to
      EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}),
                1 + (fits || kind == "empty" || kind == "link") + (fits && kind == "link"));
    }
  }
}

// A directory value is read into 512 bytes with its terminating zero; quotes and backslashes
// in a path are escaped.
TEST(StoreWriter, WritesDirectoriesThatTheReaderCanHold) {
  test::TempDir dir("veskor_store");
  const std::string base = dir.Path("w\\\"");
  const struct {
    std::size_t length;  // of the working directory's value, with its final '/'
    int exit;
  } cases[] = {{511, 0}, {512, 1}};
  for (const auto& c : cases) {
    fs::remove(dir.Path("registry"));
    const std::string working = base + std::string(c.length - base.size() - 1, 'x');
    auto args = test::StoreWriterArgs(dir.path());
    args[4] = working;
    EXPECT_EQ(test::RunProgram(args), c.exit) << c.length;
    const auto store = test::ReadStore(test::ReadBytes(dir.Path("registry")).value_or(""));
    EXPECT_EQ(
        store.count(kRoot + "\\Paths|WorkingDir") ? store.at(kRoot + "\\Paths|WorkingDir") : "",
        c.exit == 0 ? working + "/" : "");
  }
}

}  // namespace
}  // namespace veskor
