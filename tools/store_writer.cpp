// Writes a fresh settings store for an installed product tree: every key and value the program
// reads at start, in the forms it accepts. It writes only where no store exists, or into an
// empty one (0 bytes: nothing in it can be lost); an existing store, whatever else it holds, is
// never changed. A link that names no file yet is followed, as the program's own writes follow
// it: the store is made where it points, and the link stays. What cannot be a store (a
// directory, a FIFO, a socket, a device, a loop of links) stays as it is, and is an error; so is
// a store's name that names no file (empty, or ending with '/', "/." or "/.."), before anything
// is made, and a product directory that is not there. A store that cannot be written (a full
// disk) is said with the system's reason, and nothing is left of it.
//
//   write_settings_store --product <dir> --working <dir> [--store <file>] [--binary <dir>]
//
// --product  the product directory (the program, its icon, resources/, system/)
// --working  where the open-file dialog starts (the sample worlds)
// --store    the store's file; by default $VESKOR_REGISTRY, else
//            $XDG_CONFIG_HOME/veskor/registry, else ~/.config/veskor/registry
// --binary   the user's writable directory (bookmarks, session log); by default
//            $XDG_DATA_HOME/veskor/, else ~/.local/share/veskor/. It is made when missing.
//
// A relative $XDG_CONFIG_HOME or $XDG_DATA_HOME is no base directory: it is said, and counts as
// unset, as it does for the program; an unset or empty one is not said. Everything the tool
// says goes to stderr. The exit status is 0 when it wrote or filled the store, or kept one; 1
// when it could not (what cannot be a store at its name included); 2 for an unknown option.
//
// The store is the registry-like text of the settings store: "[key]" lines, then
// "\"Name\"=\"value\"" lines with '\' and '"' escaped by a backslash. Directories are absolute
// and end with '/'.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/file_links.h"
#include "platform/file_replace.h"
#include "platform/process.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kRootKey = "Software\\Dovek software\\veskor";
// A directory value is read into a 512-byte buffer with its terminating zero.
constexpr std::size_t kDirectoryValueMax = 511;

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "write_settings_store: %s\n", message.c_str());
  std::exit(1);
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? v : "";
}

// An XDG base directory: "" when unset, empty or relative (which is said).
std::string BaseDirectory(const char* name) {
  const std::string dir = Env(name);
  if (dir.starts_with('/')) return dir;
  if (!dir.empty())
    std::fprintf(stderr, "write_settings_store: %s=%s is not an absolute path: it is ignored\n",
                 name, dir.c_str());
  return "";
}

std::string Home() {
  const std::string home = Env("HOME");
  if (home.empty()) Fail("no $HOME to place the store in: name it with --store and --binary");
  return home;
}

std::string DefaultStorePath() {
  if (!Env("VESKOR_REGISTRY").empty()) return Env("VESKOR_REGISTRY");
  const std::string config = BaseDirectory("XDG_CONFIG_HOME");
  return (config.empty() ? Home() + "/.config" : config) + "/veskor/registry";
}

std::string DefaultBinaryDir() {
  const std::string data = BaseDirectory("XDG_DATA_HOME");
  return (data.empty() ? Home() + "/.local/share" : data) + "/veskor/";
}

// Absolute, without "." and "..", ending with '/'.
std::string Directory(const std::string& path, const char* what) {
  std::error_code error;
  std::string dir = fs::absolute(path, error).lexically_normal().string();
  if (error) Fail(std::string("no absolute path for the ") + what + " directory " + path);
  if (dir.empty() || dir.back() != '/') dir += '/';
  if (dir.size() > kDirectoryValueMax)
    Fail(std::string("the ") + what + " directory's path is longer than 511 characters: " + dir);
  if (dir.find_first_of("\r\n") != std::string::npos)
    Fail(std::string("the ") + what + " directory's path holds a line break");
  return dir;
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

struct Paths {
  std::string product, binary, system, resource, working;
};

std::string StoreText(const Paths& p) {
  std::string t = "; veskor settings, written by write_settings_store for a fresh installation\n";
  auto key = [&](const char* sub) { t += std::string("\n[") + kRootKey + sub + "]\n"; };
  auto value = [&](const char* name, const std::string& v) {
    t += Quoted(name) + "=" + Quoted(v) + "\n";
  };
  key("");
  value("FirstLaunch", "TRUE");
  value("IDL", "0");
  key("\\Paths");
  value("VeskorDir", p.product);
  value("BinaryDir", p.binary);
  value("SystemDir", p.system);
  value("ResourceDir", p.resource);
  value("WorkingDir", p.working);
  key("\\Settings");
  // The interface is laid out for at least 764 x 622 pixels.
  value("XSize", "1024");
  value("YSize", "768");
  value("XPos", "50");
  value("YPos", "50");
  value("ColorBits", "32");
  value("DepthBits", "24");
  value("StencilBits", "8");
  value("FullScreenMode", "FALSE");
  value("FullScreenSize", "1024x768");
  value("MultiSampleMode", "FALSE");
  value("MultiSampleQuality", "FASTEST");
  value("MultiSampleSize", "2");
  value("FPS", "FALSE");
  value("PPS", "FALSE");
  key("\\RenderLOD");
  const struct {
    const char* name;
    double value;
  } lod[] = {{"ObjectGeo", 0.5}, {"ObjectTex", 0.25}, {"TerrainGeo", 0.5}, {"TerrainTex", 0.125},
             {"Portal", 0.75},   {"CloudLow", 0.0},   {"Overall", 0.5}};
  for (const auto& l : lod) {
    char number[32];
    std::snprintf(number, sizeof number, "%.3f", l.value);  // the C locale: a '.' always
    value(l.name, number);
  }
  value("IsLangCtrlLOD", "FALSE");
  return t;
}

// What a file that is not a regular file, nor a directory, is.
std::string KindOf(const struct stat& st) {
  if (S_ISFIFO(st.st_mode)) return "a FIFO";
  if (S_ISSOCK(st.st_mode)) return "a socket";
  if (S_ISCHR(st.st_mode)) return "a character device";
  if (S_ISBLK(st.st_mode)) return "a block device";
  return "a file of another kind";
}

// The store's name with every link on the way followed, each the writer's user's or root's: the
// name to write by (OwnLinksPath::held, which keeps the store's folder open), where the system
// makes a file that `name` names. Another user's link, or a loop of links, is said and ends the
// writer.
void FollowOwnLinks(const std::string& name, veskor::OwnLinksPath* own) {
  std::string reason;
  if (!own->Follow(name, &reason)) Fail("cannot reach the store " + name + ": " + reason);
}

// What is at the store's name, its links followed (by stat, which opens nothing: a FIFO would
// hold an open until a writer came).
enum class Found { kNothing, kEmpty, kStore };
Found Look(const std::string& store) {
  struct stat st;
  if (stat(store.c_str(), &st) != 0) {
    if (errno == ENOENT) return Found::kNothing;
    Fail("cannot reach the store " + store + ": " + std::strerror(errno));
  }
  if (S_ISDIR(st.st_mode)) Fail(store + " is a directory: it stays as it is");
  if (!S_ISREG(st.st_mode))
    Fail(store + " is " + KindOf(st) + ", not a regular file: it stays as it is");
  return st.st_size == 0 ? Found::kEmpty : Found::kStore;
}

// True when the last part of `name` is empty, "." or "..": it names a folder, whatever is there.
bool NamesAFolder(const std::string& name) {
  const std::string last = name.substr(name.rfind('/') + 1);  // all of it without a '/'
  return last.empty() || last == "." || last == "..";
}

// Writes the store as a new file at its final name, held by `own`, on a file system that keeps no
// hard links: made there only when no file is (O_EXCL), so that an existing store is never
// replaced, and taken away again when its text does not go in whole, while the name still holds
// the file made here (another program may have put its own there meanwhile). False when a store
// exists by then.
bool WriteAtItsName(const veskor::OwnLinksPath& own, const std::string& text) {
  const std::string& path = own.held();
  const std::string& shown = own.end();
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0 && errno == EEXIST) return false;
  if (fd < 0) Fail("cannot place the store at " + shown + ": " + std::strerror(errno));
  struct stat made {};
  std::string refused;
  int failure = fstat(fd, &made) == 0 ? 0 : errno;
  if (failure == 0 && !own.GiveMade(fd, &refused)) {
    veskor::RemoveIfStill(path, made);
    close(fd);
    Fail("cannot write the store " + shown + ": " + refused);
  }
  if (failure == 0 && !veskor::WriteWhole(fd, text)) failure = errno;
  if (close(fd) != 0 && failure == 0) failure = errno;
  if (failure == 0) return true;
  veskor::RemoveIfStill(path, made);
  Fail("cannot write the store " + shown + ": " + std::strerror(failure));
}

// Writes the store beside its final name, held by `own`, and links it there, which fails when a
// store exists by then: an existing store is never replaced. A store made by root in another
// user's folder is given to that user.
bool WriteNew(const veskor::OwnLinksPath& own, const std::string& text) {
  const std::string& path = own.held();
  const std::string& shown = own.end();
  // A temporary of the form the program's own writes use, so that nothing but the program's
  // own files ever has that name, cut as theirs to fit the folder.
  std::string temporary = veskor::ReplaceTemporaryPrefix(path) + "XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) Fail("cannot write beside " + shown + ": " + std::strerror(errno));
  std::string refused;
  if (!own.GiveMade(fd, &refused)) {
    unlink(temporary.c_str());
    Fail("cannot write the store " + shown + ": " + refused);
  }
  // The reason of the first call that failed (a full disk: "No space left on device"). A file
  // system that cannot set a mode at all (FUSE vfat) gives the store what it gives every file.
  int failure = veskor::WriteWhole(fd, text) &&
                        (fchmod(fd, 0600) == 0 || errno == ENOSYS || errno == EOPNOTSUPP)
                    ? 0
                    : errno;
  if (close(fd) != 0 && failure == 0) failure = errno;
  if (failure != 0) {
    unlink(temporary.c_str());
    Fail("cannot write the store " + shown + ": " + std::strerror(failure));
  }
  const int linked = link(temporary.c_str(), path.c_str());
  const int cause = errno;
  unlink(temporary.c_str());
  if (linked == 0) return true;
  if (cause == EEXIST) return false;
  if (cause == EPERM) return WriteAtItsName(own, text);  // no hard links: FUSE vfat
  Fail("cannot place the store at " + shown + ": " + std::strerror(cause));
}

// Fills the empty store at `path` (a link to one is followed) as the program replaces it:
// whole, through a temporary beside it. False when it is no longer empty.
bool FillEmpty(const std::string& path, const std::string& text) {
  if (Look(path) != Found::kEmpty) return false;
  std::string reason;
  if (!veskor::ReplaceFileWhole(path, text, &reason))
    Fail("cannot write the store " + path + ": " + reason);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // A store past the file size limit is said, as on a full disk.
  veskor::FailWritesPastFileSizeLimit();
  std::string product, working, store, binary;
  bool storeNamed = false;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    std::string* target = option == "--product"   ? &product
                          : option == "--working" ? &working
                          : option == "--store"   ? &store
                          : option == "--binary"  ? &binary
                                                  : nullptr;
    if (target == nullptr || i + 1 == argc) {
      std::fprintf(stderr,
                   "usage: write_settings_store --product <dir> --working <dir> "
                   "[--store <file>] [--binary <dir>]\n");
      return 2;
    }
    storeNamed = storeNamed || target == &store;
    *target = argv[++i];
  }
  if (product.empty() || working.empty()) Fail("both --product and --working are needed");
  if (storeNamed && store.empty()) Fail("--store names no file: its name is empty");
  if (!storeNamed) store = DefaultStorePath();
  if (NamesAFolder(store)) Fail(store + " names a folder, not a store's file: nothing is made");
  struct stat productDir;
  if (stat(product.c_str(), &productDir) != 0)
    Fail("no product directory at " + product + ": " + std::strerror(errno));
  if (!S_ISDIR(productDir.st_mode))
    Fail("no product directory at " + product + ": " + std::strerror(ENOTDIR));

  // Nothing at the store's name (a link that names no file yet included), an empty file to
  // fill, or a store to keep.
  const Found found = Look(store);
  if (found == Found::kStore) {
    std::fprintf(stderr, "write_settings_store: %s exists and stays as it is\n", store.c_str());
    return 0;
  }
  // Another user's link on the way to the store is refused before anything is made.
  veskor::OwnLinksPath own;
  FollowOwnLinks(store, &own);
  Paths p;
  p.product = Directory(product, "product");
  p.system = Directory(p.product + "system", "system");
  p.resource = Directory(p.product + "resources", "resource");
  p.working = Directory(working, "working");
  p.binary = Directory(binary.empty() ? DefaultBinaryDir() : binary, "binary");
  // Its folders are made as its files are: along the writer's user's links and root's only,
  // and, made by root in another user's folder, that user's.
  std::string reason;
  if (!veskor::MakeFolders(p.binary, &reason))
    Fail("cannot make the directory " + p.binary + ": " + reason);
  const std::string parent = fs::path(store).parent_path().string();
  if (!parent.empty() && !veskor::MakeFolders(parent, &reason))
    Fail("cannot make the directory " + parent + ": " + reason);

  const std::string text = StoreText(p);
  if (found == Found::kNothing) FollowOwnLinks(store, &own);  // its folders made since
  if (!(found == Found::kEmpty ? FillEmpty(store, text) : WriteNew(own, text)))
    std::fprintf(stderr, "write_settings_store: %s exists and stays as it is\n", store.c_str());
  else
    std::fprintf(stderr, "write_settings_store: wrote %s\n", store.c_str());
  return 0;
}
