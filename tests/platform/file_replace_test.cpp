// Replacing a file whole: links written where they point, files the user may not write left
// alone, FIFOs and devices written in place, the temporary flushed before its rename, the sweep
// that takes only the program's own stale temporaries, and files written through the process's
// own descriptors: as they stand, or whole, held against other processes and only once the
// whole text is known to fit.
#include "platform/file_replace.h"
#include "platform/file_links.h"
#include "platform/given_descriptors.h"
#include "platform/save_signals.h"

#include <fcntl.h>
#include <fenv.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <semaphore>
#include <set>
#include <span>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/gl_window_internal.h"
#include "support/as_user.h"
#include "support/held_sync.h"
#include "support/no_descriptor_left.h"
#include "support/own_file_system.h"
#include "support/refused_call.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

namespace fs = std::filesystem;

std::string Entries(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    names.insert(e.path().string().substr(dir.size()));
  std::string all;
  for (const std::string& name : names) all += name + " ";
  return all;
}

mode_t Mode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

void MakeOld(const std::string& path, std::chrono::seconds age) {
  struct timespec times[2] = {};
  times[0].tv_sec = times[1].tv_sec = std::time(nullptr) - age.count();
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

TEST(FileReplace, ALinkIsWrittenWhereItPointsAndStaysALink) {
  test::TempDir dir("veskor_replace");
  fs::create_directories(dir.Path("real"));
  ::chmod(dir.Write("real/registry.real", "old").c_str(), 0640);
  fs::create_symlink("real/registry.real", dir.Path("registry"));  // relative, as dotfiles do
  fs::create_symlink(dir.Path("registry"), dir.Path("again"));     // a link to the link
  // A stale temporary of the real file goes; none is ever made beside the link.
  MakeOld(dir.Write("real/.registry.real.veskor-tmp-Ab12Cd", "stale"), std::chrono::hours(2));
  std::string reason;
  ASSERT_TRUE(ReplaceFileWhole(dir.Path("again"), "new", &reason)) << reason;
  EXPECT_TRUE(fs::is_symlink(dir.Path("again")));
  EXPECT_TRUE(fs::is_symlink(dir.Path("registry")));
  EXPECT_EQ(fs::read_symlink(dir.Path("registry")), "real/registry.real");
  EXPECT_EQ(test::ReadFileText(dir.Path("real/registry.real")), "new");
  EXPECT_EQ(Mode(dir.Path("real/registry.real")), 0640u);
  EXPECT_EQ(Entries(dir.path()), "again real real/registry.real registry ");

  // A link to a file not there yet makes that file; the link stays.
  fs::create_symlink("real/bookmark.real", dir.Path("bookmark.wld"));
  ASSERT_TRUE(ReplaceFileWhole(dir.Path("bookmark.wld"), "made", &reason)) << reason;
  EXPECT_TRUE(fs::is_symlink(dir.Path("bookmark.wld")));
  EXPECT_EQ(test::ReadFileText(dir.Path("real/bookmark.real")), "made");

  // Links that never end, or end below a file: nothing is made.
  fs::create_symlink("loop2", dir.Path("loop1"));
  fs::create_symlink("loop1", dir.Path("loop2"));
  fs::create_symlink("real/registry.real/x", dir.Path("below"));
  const std::string before = Entries(dir.path());
  EXPECT_FALSE(ReplaceFileWhole(dir.Path("loop1"), "x", &reason));
  EXPECT_EQ(reason, "Too many levels of symbolic links");
  EXPECT_FALSE(ReplaceFileWhole(dir.Path("below"), "x", &reason));
  EXPECT_EQ(reason, "Not a directory");
  EXPECT_FALSE(ReplaceFileWhole("", "x", &reason));
  // A name that asks for a folder makes no file of its name, nor does a link to one, as the
  // kernel makes none: "Is a directory" where it is one, else no such file.
  fs::create_symlink("real/folder/", dir.Path("to-folder"));
  fs::create_symlink("real/folder/.", dir.Path("to-folder-dot"));
  fs::create_symlink("real", dir.Path("to-real"));
  for (const std::string name :
       {"none/", "none/.", "real/none/..", "to-folder", "to-folder-dot", "to-real/", "to-real/."}) {
    EXPECT_FALSE(ReplaceFileWhole(dir.Path(name), "x", &reason)) << name;
  }
  EXPECT_EQ(Entries(dir.path()), before + "to-folder to-folder-dot to-real ");
}

TEST(FileReplace, TheSweepTakesOnlyStaleTemporariesOfTheFilesOwnForm) {
  test::TempDir dir("veskor_replace");
  const std::string prefix = ".registry.veskor-tmp-";
  // name, age in seconds, swept
  const struct {
    std::string name;
    int age;
    bool swept;
  } cases[] = {{prefix + "Ab12Cd", 7200, true},
               {prefix + "Ab12Cd7", 7200, false},
               {prefix + "Ab12C", 7200, false},
               {prefix + "Ab-2Cd", 7200, false},
               {prefix + "Zz99zZ", 62, true},
               {prefix + "Yy88yY", 58, false},
               {".other.veskor-tmp-Ab12Cd", 7200, false},
               {"registry.Ab12Cd", 7200, false},
               {prefix + "dir0Ab", 7200, false},
               {prefix + "lnk0Ab", 7200, false}};
  fs::create_directory(dir.Path(prefix + "dir0Ab"));
  fs::create_symlink("registry", dir.Path(prefix + "lnk0Ab"));
  for (const auto& c : cases) {
    if (!fs::exists(fs::symlink_status(dir.Path(c.name)))) dir.Write(c.name, "kept");
    MakeOld(dir.Path(c.name), std::chrono::seconds(c.age));
  }
  // A bare name is swept in the current folder.
  const fs::path here = fs::current_path();
  fs::current_path(dir.path());
  std::string reason;
  const bool replaced = ReplaceFileWhole("registry", "text", &reason);
  fs::current_path(here);
  ASSERT_TRUE(replaced) << reason;
  EXPECT_EQ(test::ReadFileText(dir.Path("registry")), "text");
  for (const auto& c : cases)
    EXPECT_EQ(fs::exists(fs::symlink_status(dir.Path(c.name))), !c.swept) << c.name;

  // A name whose temporary would pass 255 bytes is cut to 236 in it, a character cut there
  // dropped whole (3 bytes at most where the name is no UTF-8): the file is replaced, and its
  // stale temporaries of that form swept. The folder's bound as the system gives it (0), or as
  // other file systems give theirs: vfat's and exFAT's 1530 bytes, for 255 characters, count as
  // 255; a bound of 14 leaves no byte of the name.
  const std::string n233(233, 'n'), e = "\xc3\xa9", globe = "\xf0\x9f\x8c\x8d";
  const struct {
    long limit;
    std::string file, cut;
  } longNames[] = {{0, n233 + "nnn", n233 + "nnn"},
                   {0, n233 + "nnnn", n233 + "nnn"},
                   {0, n233 + std::string(22, 'n'), n233 + "nnn"},
                   {0, n233 + "n" + e + "x", n233 + "n" + e},
                   {0, n233 + "nn" + e + "x", n233 + "nn"},
                   {0, n233 + globe + "x", n233},
                   {0, n233 + "\x80\x80\x80\x80x", n233},
                   {1530, n233 + "nnn", n233 + "nnn"},
                   {1530, n233 + "nnnn", n233 + "nnn"},
                   {1530, n233 + std::string(22, 'n'), n233 + "nnn"},
                   {1530, n233 + "nn" + e + "x", n233 + "nn"},
                   {255, n233 + "nnn", n233 + "nnn"},
                   {255, n233 + "nnnn", n233 + "nnn"},
                   {14, "registry", ""},
                   {14, "r", ""}};
  static long limit = 0;
  for (const auto& c : longNames) {
    SCOPED_TRACE(std::to_string(c.limit) + " " + std::to_string(c.file.size()));
    fs::remove_all(dir.path());
    fs::create_directory(dir.path());
    MakeOld(dir.Write("." + c.cut + std::string(kReplaceTemporaryTag) + "Ab12Cd", "stale"),
            std::chrono::hours(2));
    limit = c.limit;
    NameLimitCall real = nullptr;
    if (c.limit != 0) real = SetReplaceNameLimitCall([](const char*) { return limit; });
    EXPECT_EQ(ReplaceTemporaryPrefix(dir.Path(c.file)),
              dir.Path("." + c.cut + std::string(kReplaceTemporaryTag)));
    EXPECT_TRUE(ReplaceFileWhole(dir.Path(c.file), "text", &reason)) << reason;
    if (real != nullptr) SetReplaceNameLimitCall(real);
    EXPECT_EQ(Entries(dir.path()), c.file + " ");
  }
}

int gSyncs = 0;
std::string gAtSync;  // the target's text and the temporary's, when the sync came
std::string gTarget;

int CountingSync(int fd) {
  ++gSyncs;
  const fs::path temporary = fs::read_symlink("/proc/self/fd/" + std::to_string(fd));
  gAtSync = test::ReadFileText(gTarget) + "|" + test::ReadFileText(temporary.string());
  return 0;
}
int FailingSync(int) {
  errno = EIO;
  return -1;
}

TEST(FileReplace, TheTemporaryReachesTheDiskBeforeItsRename) {
  test::TempDir dir("veskor_replace");
  gTarget = dir.Write("file", "old");
  std::string reason;
  const FileSyncCall real = SetReplaceSyncCall(CountingSync);
  EXPECT_TRUE(ReplaceFileWhole(gTarget, "new", &reason));
  EXPECT_EQ(gSyncs, 1);
  EXPECT_EQ(gAtSync, "old|new");
  SetReplaceSyncCall(FailingSync);
  EXPECT_FALSE(ReplaceFileWhole(gTarget, "newer", &reason));
  EXPECT_EQ(reason, "Input/output error");
  // Written through a descriptor, the file itself is flushed: its failure is the reason. What
  // the descriptor wrote stays; the file then holds it alone, as the text of a replaced file.
  const int held = ::open(gTarget.c_str(), O_WRONLY | O_APPEND);
  NoteGivenDescriptors();
  EXPECT_FALSE(ReplaceFileWhole("/dev/fd/" + std::to_string(held), "!", &reason));
  EXPECT_EQ(reason, "Input/output error");
  ::close(held);
  EXPECT_EQ(SetReplaceSyncCall(real), FailingSync);
  EXPECT_EQ(test::ReadFileText(gTarget), "!");
  EXPECT_EQ(Entries(dir.path()), "file ");
}

int gDraws = 0;

// The names "000000", "000001", ... in turn.
void CountedLetters(char* letters) {
  char digits[kReplaceTemporaryLetters + 1];
  std::snprintf(digits, sizeof digits, "%06d", gDraws++);
  std::memcpy(letters, digits, kReplaceTemporaryLetters);
}

TEST(FileReplace, ATemporaryNameTakenByAnotherWriterIsLeftAndAnotherDrawn) {
  test::TempDir dir("veskor_replace");
  const std::string file = dir.Write("registry", "old");
  const auto temporary = [&](int i) {
    char digits[kReplaceTemporaryLetters + 1];
    std::snprintf(digits, sizeof digits, "%06d", i);
    return dir.Path(".registry" + std::string(kReplaceTemporaryTag) + digits);
  };
  const TemporaryLettersCall real = SetReplaceLettersCall(CountedLetters);
  // names taken by other writers, replaced
  const struct {
    int taken;
    bool replaced;
  } cases[] = {{1, true}, {99, true}, {100, false}};
  std::string expected = "old", reason;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.taken);
    for (int i = 0; i < c.taken; ++i) dir.Write(temporary(i).substr(dir.path().size()), "theirs");
    gDraws = 0;
    const std::string text = "new " + std::to_string(c.taken);
    EXPECT_EQ(ReplaceFileWhole(file, text, &reason), c.replaced) << reason;
    if (c.replaced) {
      expected = text;
    } else {
      EXPECT_EQ(reason,
                "cannot make a file in " + fs::path(file).parent_path().string() + ": File exists");
    }
    EXPECT_EQ(test::ReadFileText(file), expected);
    int kept = 0;
    for (int i = 0; i < c.taken; ++i) kept += test::ReadFileText(temporary(i)) == "theirs";
    EXPECT_EQ(kept, c.taken);
    EXPECT_FALSE(fs::exists(temporary(c.taken)));
    for (int i = 0; i < c.taken; ++i) fs::remove(temporary(i));
  }
  EXPECT_EQ(SetReplaceLettersCall(real), CountedLetters);
  EXPECT_EQ(Entries(dir.path()), "registry ");
}

TEST(FileReplace, ANewFileIsReadAndWritableAsTheUmaskSaysAndTheUmaskStays) {
  test::TempDir dir("veskor_replace");
  std::string reason;
  for (const mode_t mask : {mode_t{002}, mode_t{022}, mode_t{077}}) {
    const mode_t saved = ::umask(mask);
    const std::string path = dir.Path("new" + std::to_string(mask));
    const bool made = ReplaceFileWhole(path, "x", &reason);
    const mode_t after = ::umask(saved);
    EXPECT_TRUE(made) << reason;
    EXPECT_EQ(after, mask);
    EXPECT_EQ(Mode(path), 0666u & ~mask) << mask;
  }
  // An existing file keeps its bits, the umask notwithstanding.
  ::chmod(dir.Write("kept", "x").c_str(), 0604);
  const mode_t saved = ::umask(077);
  EXPECT_TRUE(ReplaceFileWhole(dir.Path("kept"), "y", &reason));
  ::umask(saved);
  EXPECT_EQ(Mode(dir.Path("kept")), 0604u);
}

// The name whose next stat has `gTakesPlaceAfterLook` moved into its place just after (just
// before, with `gMovedBeforeLook`), as another program could do between two looks at it; empty
// when none.
std::string gLookedAt, gTakesPlaceAfterLook;
bool gMovedBeforeLook = false;

constexpr ThroughDescriptor kWhole = ThroughDescriptor::kWholeFile;
constexpr NotRegularFile kInPlace = NotRegularFile::kWrittenInPlace;

// What is not a regular file, where its caller refuses it: each refused at once as what it is,
// never opened to be written, and left as it was; a directory as the system refuses its write.
// In a child (as "nobody" when root) that the alarm would end had a FIFO been waited on. Each
// failed check sets a bit of the status.
int NotRegularChecks() {
  ::alarm(test::kHeardSeconds);
  int ends[2];
  if (::mkfifo("fifo", 0600) != 0 || ::symlink("fifo", "to-fifo") != 0 ||
      ::mknod("socket", S_IFSOCK | 0600, 0) != 0 || ::symlink("/dev/null", "null") != 0 ||
      ::mkdir("folder", 0755) != 0 || ::pipe(ends) != 0)
    return 128;
  NoteGivenDescriptors();
  // the name, and what it is ("": a directory)
  const std::pair<std::string, std::string> cases[] = {
      {"fifo", "a FIFO"},     {"to-fifo", "a FIFO"},
      {"socket", "a socket"}, {"null", "a device"},
      {"folder", ""},         {"/dev/fd/" + std::to_string(ends[1]), "a pipe"}};
  int failed = 0;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& [name, kind] = cases[i];
    std::string reason;
    if (ReplaceFileWhole(name, "text", &reason) ||
        reason != (kind.empty() ? "Is a directory" : "it is " + kind + ", not a regular file"))
      failed |= 1 << i;
  }
  pollfd nothing{ends[0], POLLIN, 0};
  if (::poll(&nothing, 1, 0) != 0 || !fs::is_fifo("fifo") ||
      Entries("./") != "fifo folder null socket to-fifo ")
    failed |= 1 << 7;
  return failed;
}

// A FIFO is refused from the one look at its name: with no descriptor left it is still said as
// what it is, and a regular file that takes its place just after that look is neither cut nor
// written. Each failed check sets a bit of the status.
int FifoRefusedFromItsLookChecks() {
  std::FILE* mine = std::fopen("mine", "w");
  if (::mkfifo("fifo", 0600) != 0 || mine == nullptr || std::fputs("the user's", mine) < 0 ||
      std::fclose(mine) != 0)
    return 128;
  constexpr char kFifo[] = "it is a FIFO, not a regular file";
  int failed = 0;
  std::string reason;
  {
    const test::NoDescriptorLeft none;
    if (ReplaceFileWhole("fifo", "text", &reason) || reason != kFifo) failed |= 1;
  }
  gLookedAt = "fifo";
  gTakesPlaceAfterLook = "mine";
  if (ReplaceFileWhole("fifo", "text", &reason) || reason != kFifo) failed |= 2;
  if (!gLookedAt.empty() || test::ReadFileText("fifo") != "the user's") failed |= 4;
  return failed;
}

TEST(FileReplace, AFifoOrADescriptorIsWrittenInPlace) {
  test::TempDir dir("veskor_replace");
  const std::string fifo = dir.Path("capture");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string text(200000, 'p');  // more than a pipe holds at once
  std::string got;
  std::thread reader([&] {
    const int fd = ::open(fifo.c_str(), O_RDONLY);
    char buffer[4096];
    for (ssize_t n; fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0;) got.append(buffer, n);
    if (fd >= 0) ::close(fd);
  });
  std::string reason;
  EXPECT_TRUE(ReplaceFileWhole(fifo, text, &reason, kWhole, kInPlace)) << reason;
  reader.join();
  EXPECT_EQ(got, text);
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(Entries(dir.path()), "capture ");

  // A reader that goes early: the write fails with its reason and the process lives on, with
  // no SIGPIPE held back nor left blocked.
  const auto readerGoingEarly = [&] {
    const int fd = ::open(fifo.c_str(), O_RDONLY);
    char buffer[16];
    if (fd >= 0 && ::read(fd, buffer, sizeof buffer) > 0) ::close(fd);
  };
  std::thread quitter(readerGoingEarly);
  EXPECT_FALSE(ReplaceFileWhole(fifo, text, &reason, kWhole, kInPlace));
  quitter.join();
  EXPECT_EQ(reason, "Broken pipe");
  sigset_t pending, mask;
  sigpending(&pending);
  ::pthread_sigmask(SIG_BLOCK, nullptr, &mask);
  EXPECT_EQ(sigismember(&pending, SIGPIPE) + sigismember(&mask, SIGPIPE), 0);
  // One that was held back already (blocked, and pending) stays so, for whoever blocked it.
  sigset_t pipeOnly, unblocked;
  sigemptyset(&pipeOnly);
  sigaddset(&pipeOnly, SIGPIPE);
  ::pthread_sigmask(SIG_BLOCK, &pipeOnly, &unblocked);
  ::pthread_kill(::pthread_self(), SIGPIPE);
  std::thread early(readerGoingEarly);
  EXPECT_FALSE(ReplaceFileWhole(fifo, text, &reason, kWhole, kInPlace));
  early.join();
  sigpending(&pending);
  EXPECT_EQ(sigismember(&pending, SIGPIPE), 1);
  const timespec now{};
  EXPECT_EQ(::sigtimedwait(&pipeOnly, nullptr, &now), SIGPIPE);
  ::pthread_sigmask(SIG_SETMASK, &unblocked, nullptr);

  // The process's own descriptors, as /dev/stdout names them: a pipe, and a deleted file.
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  NoteGivenDescriptors();
  EXPECT_TRUE(ReplaceFileWhole("/proc/self/fd/" + std::to_string(ends[1]), "piped", &reason, kWhole,
                               kInPlace))
      << reason;
  char bytes[8] = {};
  EXPECT_EQ(::read(ends[0], bytes, sizeof bytes), 5);
  EXPECT_EQ(std::string(bytes, 5), "piped");
  ::close(ends[0]);
  ::close(ends[1]);
  const int gone = ::open(dir.Write("gone", "old text").c_str(), O_RDWR);
  ::unlink(dir.Path("gone").c_str());
  NoteGivenDescriptors();
  EXPECT_TRUE(ReplaceFileWhole("/proc/self/fd/" + std::to_string(gone), "new", &reason)) << reason;
  EXPECT_EQ(::pread(gone, bytes, sizeof bytes, 0), 3);
  EXPECT_EQ(std::string(bytes, 3), "new");
  // The same deleted file held by another process, named through that process's descriptor.
  ASSERT_EQ(::pipe(ends), 0);
  std::fflush(nullptr);
  const pid_t holder = ::fork();
  if (holder == 0) {
    ::close(ends[1]);
    ::_exit(::read(ends[0], bytes, 1) == 0 ? 0 : 1);  // holds `gone` until the pipe closes
  }
  ::close(ends[0]);
  const std::string held = "/proc/" + std::to_string(holder) + "/fd/" + std::to_string(gone);
  EXPECT_TRUE(ReplaceFileWhole(held, "newest", &reason)) << reason;
  // As a capture is written: in place, the file emptied first.
  EXPECT_TRUE(ReplaceFileWhole(held, "newer", &reason, kWhole, kInPlace)) << reason;
  ::close(ends[1]);
  ::waitpid(holder, nullptr, 0);
  EXPECT_EQ(::pread(gone, bytes, sizeof bytes, 0), 5);
  EXPECT_EQ(std::string(bytes, 5), "newer");
  ::close(gone);
  // A descriptor's bare name, from the descriptor folder itself: written through it.
  const int kept = ::open(dir.Write("kept", "old").c_str(), O_WRONLY | O_APPEND);
  NoteGivenDescriptors();
  const fs::path here = fs::current_path();
  fs::current_path("/proc/self/fd");
  EXPECT_TRUE(
      ReplaceFileWhole(std::to_string(kept), " new", &reason, ThroughDescriptor::kWhereItStands))
      << reason;
  fs::current_path(here);
  ::close(kept);
  EXPECT_EQ(test::ReadFileText(dir.Path("kept")), "old new");
  fs::remove(dir.Path("kept"));
  EXPECT_EQ(Entries(dir.path()), "capture ");

  test::TempDir refused("veskor_replace");
  EXPECT_EQ(test::RunAsUser(refused.path(), NotRegularChecks), 0)
      << "the checks that failed, a bit each";
  test::TempDir raced("veskor_replace");
  EXPECT_EQ(test::RunAsUser(raced.path(), FifoRefusedFromItsLookChecks), 0)
      << "the checks that failed, a bit each";
}

int ReadOnlyChecks() {
  int failed = 0;
  std::string reason;
  auto check = [&](int bit, bool ok) { failed |= ok ? 0 : 1 << bit; };
  // A store the user made read-only, in a folder the user may write.
  test::WriteFileBytes("registry", {reinterpret_cast<const std::uint8_t*>("old"), 3});
  ::chmod("registry", 0444);
  check(0, !ReplaceFileWhole("registry", "new", &reason) && reason == "Permission denied");
  ::symlink("registry", "link");
  check(1, !ReplaceFileWhole("link", "new", &reason) && reason == "Permission denied");
  check(2, test::ReadFileText("registry") == "old" && Mode("registry") == 0444);
  // A writable store in a folder that refuses new files: the reason names the folder.
  ::mkdir("closed", 0755);
  test::WriteFileBytes("closed/registry", {reinterpret_cast<const std::uint8_t*>("old"), 3});
  ::chmod("closed/registry", 0600);
  ::chmod("closed", 0555);
  check(3, !ReplaceFileWhole("closed/registry", "new", &reason) &&
               reason == "cannot make a file in closed: Permission denied");
  ::chmod(".", 0555);  // and a bare name in the current folder, closed
  check(4, !ReplaceFileWhole("registry2", "new", &reason) &&
               reason == "cannot make a file in .: Permission denied" && !fs::exists("registry2"));
  ::chmod(".", 0755);
  check(5, test::ReadFileText("closed/registry") == "old");
  ::chmod("closed", 0755);
  // And a writable file in a writable folder is replaced, as ever.
  ::chmod("registry", 0644);
  check(6, ReplaceFileWhole("link", "new", &reason) && test::ReadFileText("registry") == "new");
  return failed;
}

TEST(FileReplace, AFileTheUserMayNotWriteOrMakeIsLeftAsItIs) {
  test::TempDir dir("veskor_replace");
  EXPECT_EQ(test::RunAsUser(dir.path(), ReadOnlyChecks), 0);
  if (::geteuid() != 0) return;
  // Root may write any file: a read-only one is replaced, and stays read-only.
  const std::string path = dir.Write("root's", "old");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  std::string reason;
  EXPECT_TRUE(ReplaceFileWhole(path, "new", &reason)) << reason;
  EXPECT_EQ(test::ReadFileText(path), "new");
  EXPECT_EQ(Mode(path), 0444u);
}

// The owner, group and mode of `path`, as "65534:65534 0640".
std::string OwnerOf(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return "none";
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", st.st_mode & 07777);
  return std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid) + " " + mode;
}

// Makes `path` hold "old", with that owner, group and mode.
bool MakeOwned(const std::string& path, uid_t uid, gid_t gid, mode_t mode) {
  return test::WriteFileBytes(path, {reinterpret_cast<const std::uint8_t*>("old"), 3}) &&
         ::chown(path.c_str(), uid, gid) == 0 && ::chmod(path.c_str(), mode) == 0;
}

// As "nobody" (root's groups dropped too), in a folder of its own: its own file is replaced as
// ever; one of a group it is not in (root's), or of another user, that it may write all the
// same, is refused, since its temporary could not be given that group or owner, and the file
// and the folder stay as they were. Each failed check sets a bit of the status.
// A user of the test's own, that no other suite running at once has: the owner of the links
// that another user made (of the test's process, its forked children's too).
const pid_t gTestProcess = ::getpid();
uid_t OtherUser() { return 0x7F000000u + static_cast<uid_t>(gTestProcess); }

// A symbolic link at `link` to `target`, owned by `uid`.
void OwnedLink(const std::string& target, const std::string& link, uid_t uid) {
  ::unlink(link.c_str());
  if (::symlink(target.c_str(), link.c_str()) != 0 || ::lchown(link.c_str(), uid, uid) != 0)
    ADD_FAILURE() << link;
}

std::string NotFollowed(const std::string& link) {
  return "the link " + link + " belongs to user " + std::to_string(OtherUser()) +
         ", not to this run's user: it is not followed";
}

// As an ordinary user: its own links and root's are followed, another user's refused.
int OtherUsersLinkChecks() {
  int failed = 0;
  std::string reason;
  auto check = [&](int bit, bool ok) { failed |= ok ? 0 : 1 << bit; };
  test::WriteFileBytes("registry", {reinterpret_cast<const std::uint8_t*>("old"), 3});
  ::symlink("registry", "mine");
  check(0, ReplaceFileWhole("mine", "by mine", &reason) &&
               test::ReadFileText("registry") == "by mine");
  check(1, ReplaceFileWhole("root's", "by root's", &reason) &&
               test::ReadFileText("registry") == "by root's");
  check(2, !ReplaceFileWhole("theirs", "by theirs", &reason) && reason == NotFollowed("theirs") &&
               test::ReadFileText("registry") == "by root's");
  return failed;
}

// A process that stands in `folder` with the test's descriptors, among them a place of root's
// file, as user `real` (`effective` its effective and saved uid, and the same for its groups),
// dumpable or not, until the object ends.
struct HeldProcess {
  HeldProcess(const std::string& folder, uid_t real, uid_t effective, bool dumpable) {
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) return;
    pid = ::fork();
    if (pid == 0) {
      if (::chdir(folder.c_str()) != 0 || ::setresgid(real, effective, effective) != 0 ||
          ::setresuid(real, effective, effective) != 0 ||
          ::prctl(PR_SET_DUMPABLE, dumpable ? 1 : 0) != 0 || ::write(ready[1], "r", 1) != 1)
        ::_exit(1);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    char sign = 0;
    if (pid > 0 && ::read(ready[0], &sign, 1) != 1) Stop();
    ::close(ready[0]);
  }
  ~HeldProcess() { Stop(); }
  void Stop() {
    if (pid > 0 && ::kill(pid, SIGKILL) == 0) ::waitpid(pid, nullptr, 0);
    if (pid > 0) pid = -1;
  }
  std::string Folder() const { return "/proc/" + std::to_string(pid); }
  pid_t pid = -1;
};

// The descriptors open in the process now.
std::set<int> OpenDescriptors() {
  std::set<int> fds;
  for (int fd = 0; fd < 1024; ++fd)
    if (::fcntl(fd, F_GETFD) >= 0) fds.insert(fd);
  return fds;
}

// The walk holds one folder at a time, and lets it go with the walk or the next walk, whatever
// descriptor it got: here the first, 0, as in a run started with its standard input closed.
// Past a kernel's link to a folder, the folder it led to is let go once the file's is held.
TEST(FileReplace, TheLinkWalkHoldsOneFolderAtATimeWhateverItsNumber) {
  test::TempDir dir("veskor_replace");
  const auto open = OpenDescriptors;
  const int input = ::dup(STDIN_FILENO);
  const int folder = ::open(dir.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  ASSERT_TRUE(input >= 0 && folder >= 0);
  ::close(STDIN_FILENO);
  const std::set<int> before = open();
  // A kernel's link to a file, the one it stands for looked at through a descriptor of its own
  // (here 0), which is let go: the file is left to the open.
  const std::string kernels =
      "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(input);
  const struct {
    std::string path, held;
  } rows[] = {{dir.Path("registry"), "/proc/self/fd/0/registry"},
              {dir.Path("bookmark.wld"), "/proc/self/fd/0/bookmark.wld"},
              {"/dev/fd/" + std::to_string(folder) + "/registry", "/proc/self/fd/0/registry"},
              {"/proc/self/root" + dir.Path("registry"), "/proc/self/fd/0/registry"},
              {kernels, kernels}};
  {
    OwnLinksPath own;
    for (const auto& row : rows) {
      SCOPED_TRACE(row.path);
      std::string reason;
      EXPECT_TRUE(own.Follow(row.path, &reason)) << reason;
      EXPECT_EQ(own.held(), row.held);
      std::set<int> held = before;
      if (row.held != kernels) held.insert(0);
      EXPECT_EQ(open(), held);
    }
  }
  const std::set<int> after = open();
  ::dup2(input, STDIN_FILENO);
  ::close(input);
  ::close(folder);
  EXPECT_EQ(after, before);
}

// Called once, where set, just after the next look at the kind of a link's file system (whether
// it is one of the kernel's own links).
void (*gAfterKernelsLook)() = nullptr;

// In a pid namespace whose first process this is, with a process file system of its own: the
// process that holds `gone` as descriptor kHeldDescriptor ends just after the look at its link,
// and one that holds `taken` so takes its number. Each failed check sets a bit of the status.
std::string gPidSpaceFolder;
constexpr int kHeldDescriptor = 40;
pid_t HoldAs(const std::string& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || ::dup2(fd, kHeldDescriptor) != kHeldDescriptor) return -1;
  ::close(fd);
  int ready[2];
  if (::pipe2(ready, O_CLOEXEC) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::write(ready[1], "r", 1) != 1) ::_exit(1);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  ::close(kHeldDescriptor);
  char sign = 0;
  const bool held = pid > 0 && ::read(ready[0], &sign, 1) == 1;
  ::close(ready[0]);
  return held ? pid : -1;
}
pid_t gTaker = -1;
int PidTakenAgainChecks() {
  if (::mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0) return 1;
  const pid_t holder = HoldAs(gPidSpaceFolder + "/gone");
  if (holder < 0) return 2;
  gAfterKernelsLook = [] {
    ::kill(2, SIGKILL);
    ::waitpid(2, nullptr, 0);
    const int last = ::open("/proc/sys/kernel/ns_last_pid", O_WRONLY | O_CLOEXEC);
    if (last >= 0 && ::write(last, "1", 1) == 1)  // the next process is 2
      gTaker = HoldAs(gPidSpaceFolder + "/taken");
    if (last >= 0) ::close(last);
  };
  const std::string named =
      "/proc/" + std::to_string(holder) + "/fd/" + std::to_string(kHeldDescriptor);
  std::string reason;
  const std::set<int> before = OpenDescriptors();
  const bool written = ReplaceFileWhole(named, "written", &reason);
  int failed = 0;
  if (holder != 2 || gTaker != holder) failed |= 4;
  if (written || reason != std::strerror(ENOENT)) failed |= 8;
  if (OpenDescriptors() != before) failed |= 16;  // the refusal closes what the walk opened
  if (gTaker > 0) ::kill(gTaker, SIGKILL);
  return failed;
}

TEST(FileReplace, AnotherUsersLinkOnTheWayIsNotFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "links of another user are made as root";
  test::TempDir dir("veskor_replace");
  const std::string secret = dir.Path("secret/");  // root's alone
  ASSERT_EQ(::mkdir(secret.c_str(), 0700), 0);
  dir.Write("secret/target", "root's");
  const uid_t other = OtherUser();
  fs::create_directories(dir.Path("real"));
  OwnedLink(secret + "target", dir.Path("end"), other);  // at the end
  OwnedLink(secret, dir.Path("folder"), other);          // a folder of the path
  OwnedLink("end2", dir.Path("chain"), 0);               // root's, then another's
  OwnedLink("secret/target", dir.Path("end2"), other);
  OwnedLink("../folder/target", dir.Path("real/up"), 0);  // root's, relative, to another's
  OwnedLink(secret + "new", dir.Path("none"), other);     // a file not there yet
  OwnedLink(secret + "target", dir.Path("root's"), 0);
  OwnedLink(dir.Path("root's"), dir.Path("again"), 0);
  const struct {
    std::string path, refusedAt;  // "": written
  } rows[] = {{dir.Path("end"), dir.Path("end")},
              {dir.Path("folder/target"), dir.Path("folder")},
              {dir.Path("chain"), dir.Path("end2")},
              {dir.Path("real/up"), dir.Path("folder")},
              {dir.Path("real/../folder/target"), dir.Path("folder")},
              {dir.Path("none"), dir.Path("none")},
              {dir.Path("again"), ""}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    std::string reason;
    const bool written = ReplaceFileWhole(row.path, "written", &reason);
    if (row.refusedAt.empty()) {
      EXPECT_TRUE(written) << reason;
      EXPECT_EQ(test::ReadFileText(secret + "target"), "written");
      dir.Write("secret/target", "root's");
    } else {
      EXPECT_FALSE(written);
      EXPECT_EQ(reason, NotFollowed(row.refusedAt));
      EXPECT_EQ(test::ReadFileText(secret + "target"), "root's");
    }
    EXPECT_EQ(Entries(secret), "target ");
  }

  // Past a link of the kernel's own (the process's folder, root or descriptor), the walk goes on
  // under the same rule; the refusal names the link as the path led to it.
  const int cwd = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  const int held = ::open(dir.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  ASSERT_TRUE(cwd >= 0 && held >= 0 && ::chdir(dir.path().c_str()) == 0);
  const std::string fd = std::to_string(held);
  const std::string back = "/../" + fs::path(dir.path()).parent_path().filename().string();
  // Another process's links, in the secret folder with root's file as `place`: those of another
  // user's are that user's even where the kernel shows them as root's (a process that is not
  // dumpable, or whose effective user is root), or where its real user is the run's, those of
  // root's processes root's.
  const int target = ::open((secret + "target").c_str(), O_PATH | O_CLOEXEC);
  ASSERT_GE(target, 0);
  const std::string place = std::to_string(target);
  const HeldProcess shown(secret, other, other, true), hidden(secret, other, other, false),
      setuid(secret, other, 0, true), roots(secret, 0, 0, false),
      realRoots(secret, 0, other, false);
  ::close(target);
  ASSERT_TRUE(shown.pid > 0 && hidden.pid > 0 && setuid.pid > 0 && roots.pid > 0 &&
              realRoots.pid > 0);
  const std::string thread = hidden.Folder() + "/task/" + std::to_string(hidden.pid);
  const struct {
    std::string path, refusedAt;  // "": written
  } kernels[] = {{roots.Folder() + "/fd/" + place, ""},
                 {shown.Folder() + "/fd/" + place, shown.Folder() + "/fd/" + place},
                 {shown.Folder() + "/cwd/target", shown.Folder() + "/cwd"},
                 {hidden.Folder() + "/fd/" + place, hidden.Folder() + "/fd/" + place},
                 {hidden.Folder() + "/cwd/made", hidden.Folder() + "/cwd"},
                 {thread + "/cwd/target", thread + "/cwd"},
                 {setuid.Folder() + "/fd/" + place, setuid.Folder() + "/fd/" + place},
                 {roots.Folder() + "/cwd/target", ""},
                 {realRoots.Folder() + "/cwd/target", realRoots.Folder() + "/cwd"},
                 {"/proc/self/cwd/end", "/proc/self/cwd/end"},
                 {"/proc/self/cwd/folder/target", "/proc/self/cwd/folder"},
                 {"/proc/self/root" + dir.Path("end"), "/proc/self/root" + dir.Path("end")},
                 {"/dev/fd/" + fd + "/end", "/proc/self/fd/" + fd + "/end"},
                 {"/dev/fd/" + fd + back + "/none", "/proc/self/fd/" + fd + back + "/none"},
                 {"/proc/self/../self/cwd/end", "/proc/self/../self/cwd/end"},
                 {"/proc/self/cwd/again", ""},
                 {"/proc/thread-self/root" + dir.Path("real/../again"), ""}};
  // With the standard input closed, the folder a kernel's link leads to may be descriptor 0.
  const int input = ::dup(STDIN_FILENO);
  ASSERT_GE(input, 0);
  ::close(STDIN_FILENO);
  for (const auto& row : kernels) {
    SCOPED_TRACE(row.path);
    std::string reason;
    const bool written = ReplaceFileWhole(row.path, "written", &reason);
    EXPECT_EQ(written, row.refusedAt.empty()) << reason;
    EXPECT_EQ(test::ReadFileText(secret + "target"), written ? "written" : "root's");
    if (!written) {
      EXPECT_EQ(reason, NotFollowed(row.refusedAt));
    }
    dir.Write("secret/target", "root's");
    EXPECT_EQ(Entries(secret), "target ");
  }
  // Under any limit of descriptors that the walk may meet, such a link shown as root's is
  // refused: for its user, or for the descriptor that it lacks to judge it, never followed.
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
  const rlimit was = limit;
  const int lowest = ::dup(STDERR_FILENO);
  ::close(lowest);
  std::set<std::string> reasons;
  for (rlim_t to = static_cast<rlim_t>(lowest); to < static_cast<rlim_t>(lowest) + 16; ++to) {
    limit.rlim_cur = to;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limit), 0);
    std::string reason;
    const bool written = ReplaceFileWhole(hidden.Folder() + "/fd/" + place, "written", &reason);
    ::setrlimit(RLIMIT_NOFILE, &was);
    EXPECT_FALSE(written) << to;
    reasons.insert(reason);
  }
  EXPECT_EQ(reasons, (std::set<std::string>{std::strerror(EMFILE),
                                            NotFollowed(hidden.Folder() + "/fd/" + place)}));
  EXPECT_EQ(test::ReadFileText(secret + "target"), "root's");
  // A file with another name in another user's folder, past the kernel's link (the first met,
  // its folder then descriptor 0): looked at in the folder that link led to, not in the current
  // one.
  ASSERT_EQ(
      ::mkdir(dir.Path("theirs").c_str(), 0755) | ::chown(dir.Path("theirs").c_str(), other, 0), 0);
  ASSERT_EQ(::link((secret + "target").c_str(), dir.Path("theirs/log").c_str()), 0);
  const std::string log = "/proc/" + std::to_string(::getpid()) + "/cwd/theirs/log";
  std::string refused;
  EXPECT_FALSE(ReplaceFileWhole(log, "written", &refused));
  EXPECT_EQ(refused, "the file " + log + " has another name (a hard link), in a folder that user " +
                         std::to_string(other) + " may change: it is not written");
  EXPECT_EQ(test::ReadFileText(secret + "target"), "root's");
  ::unlink(dir.Path("theirs/log").c_str());
  ::dup2(input, STDIN_FILENO);
  ::close(input);
  ASSERT_EQ(::fchdir(cwd), 0);
  ::close(cwd);
  ::close(held);

  // A folder of the path that becomes another user's link between the look at the path and the
  // write: the write stays in the folder that was looked at.
  dir.Write("real/registry", "old");
  static std::string swapped, to;
  swapped = dir.Path("real");
  to = secret;
  const ReplaceStepCall before = SetReplaceStepCall([](ReplaceStep step) {
    if (step != ReplaceStep::kRename) return;
    std::rename(swapped.c_str(), (swapped + ".was").c_str());
    ::symlink(to.c_str(), swapped.c_str());
    ::lchown(swapped.c_str(), OtherUser(), OtherUser());
  });
  std::string reason;
  EXPECT_TRUE(ReplaceFileWhole(dir.Path("real/registry"), "new", &reason)) << reason;
  SetReplaceStepCall(before);
  EXPECT_EQ(test::ReadFileText(dir.Path("real.was/registry")), "new");
  EXPECT_EQ(Entries(secret), "target ");

  // The name itself become another user's link after the walk, before the look at the file: no
  // link is followed, as a capture written in place neither.
  fs::create_directories(dir.Path("own"));
  for (const NotRegularFile mode : {NotRegularFile::kRefused, kInPlace}) {
    fs::remove(dir.Path("own/mine"));
    dir.Write("own/mine", "mine");
    OwnedLink(secret + "target", dir.Path("own/theirs"), other);
    gLookedAt = dir.Path("own/mine");
    gTakesPlaceAfterLook = dir.Path("own/theirs");
    gMovedBeforeLook = true;
    EXPECT_FALSE(ReplaceFileWhole(dir.Path("own/mine"), "new", &reason, kWhole, mode));
    gMovedBeforeLook = false;
    EXPECT_EQ(reason, "Too many levels of symbolic links");
    EXPECT_TRUE(gLookedAt.empty());
    EXPECT_EQ(test::ReadFileText(secret + "target"), "root's");
  }

  // Another process's descriptor named by its number, whose process ends and whose number a new
  // process takes between the look at the link and the walk on from its folder, in a pid
  // namespace of the test's own: neither the file that the link held nor the new process's is
  // written.
  dir.Write("gone", "gone");
  dir.Write("taken", "taken");
  gPidSpaceFolder = dir.path();
  const pid_t outer = ::fork();
  if (outer == 0) {
    if (::unshare(CLONE_NEWNS | CLONE_NEWPID) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
      ::_exit(64);
    const pid_t init = ::fork();
    if (init == 0) ::_exit(PidTakenAgainChecks());
    int status = 0;
    ::_exit(::waitpid(init, &status, 0) == init && WIFEXITED(status) ? WEXITSTATUS(status) : 65);
  }
  int outcome = 0;
  ASSERT_EQ(::waitpid(outer, &outcome, 0), outer);
  EXPECT_TRUE(WIFEXITED(outcome) && WEXITSTATUS(outcome) == 0)
      << "the checks that failed, a bit each: " << outcome;
  EXPECT_EQ(test::ReadFileText(dir.Path("gone")), "gone");
  EXPECT_EQ(test::ReadFileText(dir.Path("taken")), "taken");

  // As the run's user: its own link and root's are followed, another's is not.
  test::TempDir user("veskor_replace");
  OwnedLink("registry", user.Path("root's"), 0);
  OwnedLink("registry", user.Path("theirs"), other);
  EXPECT_EQ(test::RunAsUser(user.path(), OtherUsersLinkChecks), 0)
      << "the checks that failed, a bit each";
}

int OwnerChecks() {
  int failed = 0;
  std::string reason;
  auto check = [&](int bit, bool ok) { failed |= ok ? 0 : 1 << bit; };
  check(0, ReplaceFileWhole("mine", "new", &reason) && test::ReadFileText("mine") == "new" &&
               OwnerOf("mine") == "65534:65534 0640");
  const std::string names[] = {"not my group's", "not mine"},
                    owners[] = {"65534:0 0660", "0:0 0666"};
  for (int i = 0; i < 2; ++i) {
    check(1 + 2 * i,
          !ReplaceFileWhole(names[i], "new", &reason) && reason == "Operation not permitted");
    check(2 + 2 * i, test::ReadFileText(names[i]) == "old" && OwnerOf(names[i]) == owners[i]);
  }
  check(5, Entries("./") == "mine not mine not my group's ");
  return failed;
}

// The wait status of a forked child that runs `checks` in `dir` and exits with what they return.
int ChildStatus(const std::string& dir, const std::function<int()>& checks) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(::chdir(dir.c_str()) == 0 ? checks() : 101);
  int status = -1;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid ? status : -1;
}

// With fchown refused with `error` (EPERM, or ENOSYS and EOPNOTSUPP as by a file system that
// cannot set owners at all: FUSE vfat), in a forked child: a file whose temporary has its owner
// and group already is replaced, no change of owner asked; one whose temporary would need
// another owner (root saving another user's file) is refused with the system's reason, as it
// was. Each failed check sets a bit of the status.
int RefusedOwnerChecks(int error) {
  if (!test::RefuseCall(__NR_fchown, 0, 1 << 20, error)) return 64;
  int failed = 0;
  std::string reason;
  auto check = [&](int bit, bool ok) { failed |= ok ? 0 : 1 << bit; };
  const std::string own = OwnerOf("own");
  check(0, ReplaceFileWhole("own", "new", &reason) && test::ReadFileText("own") == "new" &&
               OwnerOf("own") == own);
  if (::geteuid() == 0) {
    check(1, !ReplaceFileWhole("theirs", "new", &reason) && reason == std::strerror(error));
    check(2, test::ReadFileText("theirs") == "old" && OwnerOf("theirs") == "65534:65534 0640");
    // A file made in another user's folder, which cannot be given to that user: not made, and
    // no descriptor of it kept.
    const std::set<int> before = OpenDescriptors();
    check(4, !ReplaceFileWhole("nobody's/new", "new", &reason) &&
                 reason == std::string("it cannot be given to user nobody (uid 65534), whose "
                                       "folder it is in: ") +
                               std::strerror(error));
    check(5, OpenDescriptors() == before);
  }
  check(3, Entries("./") == (::geteuid() == 0 ? "nobody's own theirs " : "own "));
  return failed;
}

// A file replaced whole keeps its owner and group as well as its mode: root saving another
// user's file, or its own in a set-gid folder (whose group a temporary made there takes), with
// set-id bits that a change of owner would clear had the mode been set first. A user who may
// write a file but not give it its owner or group is refused.
TEST(FileReplace, AReplacedFileKeepsItsOwnerAndGroupOrIsLeftAsItIs) {
  test::TempDir refused("veskor_replace");
  refused.Write("own", "old");
  if (::geteuid() == 0) {
    ASSERT_TRUE(MakeOwned(refused.Path("theirs"), 65534, 65534, 0640));
    ASSERT_EQ(::mkdir(refused.Path("nobody's").c_str(), 0755), 0);
    ASSERT_EQ(::chown(refused.Path("nobody's").c_str(), 65534, 65534), 0);
  }
  for (const int error : {EPERM, ENOSYS, EOPNOTSUPP}) {
    const int status = ChildStatus(refused.path(), [&] { return RefusedOwnerChecks(error); });
    EXPECT_EQ(status, 0) << std::strerror(error) << ": the checks that failed, a bit each (<< 8)";
  }
  if (::geteuid() != 0) GTEST_SKIP() << "no files of other users or groups to save: not root";

  test::TempDir dir("veskor_replace");
  // owner, group, mode
  const std::tuple<uid_t, gid_t, mode_t> owners[] = {
      {65534, 65534, 0640}, {65534, 65534, 06750}, {0, 65534, 0640}, {65534, 0, 04755}};
  for (const auto& [uid, gid, mode] : owners) {
    const std::string path = dir.Path("theirs" + std::to_string(mode) + std::to_string(gid));
    ASSERT_TRUE(MakeOwned(path, uid, gid, mode));
    const std::string before = OwnerOf(path);
    std::string reason;
    EXPECT_TRUE(ReplaceFileWhole(path, "new", &reason)) << reason;
    EXPECT_EQ(test::ReadFileText(path), "new");
    EXPECT_EQ(OwnerOf(path), before);
  }
  // A set-gid folder of nobody's group: a file of that group, and one of root's own.
  const std::string shared = dir.Path("shared");
  ASSERT_TRUE(fs::create_directory(shared));
  ASSERT_EQ(::chown(shared.c_str(), 0, 65534) | ::chmod(shared.c_str(), 02775), 0);
  ASSERT_TRUE(MakeOwned(shared + "/folder's", 0, 65534, 0644));
  ASSERT_TRUE(MakeOwned(shared + "/root's", 0, 0, 0644));
  for (const std::string name : {"/folder's", "/root's"}) {
    std::string reason;
    EXPECT_TRUE(ReplaceFileWhole(shared + name, "new", &reason)) << reason;
    EXPECT_EQ(test::ReadFileText(shared + name), "new");
  }
  EXPECT_EQ(OwnerOf(shared + "/folder's"), "0:65534 0644");
  EXPECT_EQ(OwnerOf(shared + "/root's"), "0:0 0644");
  EXPECT_EQ(Entries(shared), "/folder's /root's ");
  // A file that root makes is given to the owner and group of another user's folder, as a run
  // with sudo -E leaves the user's own; in root's folder, or over a file it replaces, not.
  const std::string users = dir.Path("user's");
  ASSERT_TRUE(fs::create_directory(users));
  ASSERT_EQ(::chown(users.c_str(), 65534, 1234), 0);
  ASSERT_TRUE(MakeOwned(users + "/root's", 0, 0, 0644));
  const mode_t mask = ::umask(022);
  for (const std::string& name : {users + "/made", users + "/root's", shared + "/made"}) {
    std::string reason;
    EXPECT_TRUE(ReplaceFileWhole(name, "new", &reason)) << reason;
    EXPECT_EQ(test::ReadFileText(name), "new");
  }
  ::umask(mask);
  EXPECT_EQ(OwnerOf(users + "/made"), "65534:1234 0644");
  EXPECT_EQ(OwnerOf(users + "/root's"), "0:0 0644");
  EXPECT_EQ(OwnerOf(shared + "/made"), "0:65534 0644");

  test::TempDir user("veskor_replace");
  ASSERT_TRUE(MakeOwned(user.Path("mine"), 65534, 65534, 0640));
  ASSERT_TRUE(MakeOwned(user.Path("not my group's"), 65534, 0, 0660));
  ASSERT_TRUE(MakeOwned(user.Path("not mine"), 0, 0, 0666));
  EXPECT_EQ(test::RunAsUser(user.path(), OwnerChecks), 0);
}

// An ACL as the kernel keeps it (system.posix_acl_access, _default): version 2, then each entry's
// tag, permissions and id (none for the owner, its group, the mask and the others), in order.
enum : std::uint16_t { kOwner = 1, kUser = 2, kOwnGroup = 4, kGroup = 8, kMask = 16, kOther = 32 };
struct AclEntry {  // as the kernel's, on a little-endian machine
  std::uint16_t tag, permissions;
  std::uint32_t id = 0xFFFFFFFF;
};
std::string Acl(std::initializer_list<AclEntry> entries) {
  return std::string("\x02\0\0\0", 4) + std::string(reinterpret_cast<const char*>(entries.begin()),
                                                    sizeof(AclEntry) * entries.size());
}

bool SetAttribute(const std::string& path, const char* name, const std::string& value) {
  return ::setxattr(path.c_str(), name, value.data(), value.size(), 0) == 0;
}

// The file's owner, group and mode, then each of its extended attributes (its ACL among them)
// by name with its value, read with the raw calls.
std::string AttributesOf(const std::string& path) {
  std::string all = OwnerOf(path), names(4096, '\0'), value(4096, '\0');
  const ssize_t n = ::llistxattr(path.c_str(), names.data(), names.size());
  std::set<std::string> sorted;
  for (ssize_t at = 0; at < n; at += static_cast<ssize_t>(std::strlen(names.data() + at)) + 1)
    sorted.insert(names.data() + at);
  for (const std::string& name : sorted) {
    const ssize_t size = ::lgetxattr(path.c_str(), name.c_str(), value.data(), value.size());
    all += " " + name + "=" + value.substr(0, size < 0 ? 0 : static_cast<std::size_t>(size));
  }
  return all;
}

// The step call that gives each temporary in gLabelled a `user.a` of its own before it is
// given the old file's attributes.
std::string gLabelled;
void LabelTemporary(ReplaceStep step) {
  if (step != ReplaceStep::kAttributes) return;
  for (const auto& entry : fs::directory_iterator(gLabelled))
    if (entry.path().filename().string().find(".veskor-tmp-") != std::string::npos)
      SetAttribute(entry.path(), "user.a", "label");
}

// A store replaced whole keeps its access ACL and its extended attributes, by name and through
// a link, as it keeps its mode: its group's own bits are not widened to the mask's. In a folder
// with a default ACL, it keeps its own ACL, or none. One whose attribute cannot be given is not
// replaced.
TEST(FileReplace, AReplacedFileKeepsItsAclAndAttributesOrIsLeftAsItIs) {
  test::TempDir dir("veskor_replace");
  ASSERT_TRUE(fs::create_directory(dir.Path("shared")));
  ASSERT_TRUE(
      SetAttribute(dir.Path("shared"), "system.posix_acl_default",
                   Acl({{kOwner, 7}, {kUser, 7, 1}, {kOwnGroup, 5}, {kMask, 7}, {kOther, 0}})));
  // A store shared with another user, its own group kept out (`setfacl -m u:1:rw,g:1:r`): its
  // mode shows the mask's rw- for the group.
  const std::string shared =
      Acl({{kOwner, 6}, {kUser, 6, 1}, {kOwnGroup, 0}, {kGroup, 4, 1}, {kMask, 6}, {kOther, 0}});
  // the store, its ACL ("": none, the folder's taken off), whether it is saved through a link
  const std::tuple<std::string, std::string, bool> cases[] = {
      {"linked", shared, true}, {"shared/none", "", false}, {"shared/own", shared, false}};
  for (const auto& [name, acl, link] : cases) {
    SCOPED_TRACE(name);
    const std::string path = dir.Write(name, "old");
    ASSERT_EQ(::chmod(path.c_str(), 02640), 0);  // set-id bits and all
    ASSERT_TRUE(acl.empty() ? ::removexattr(path.c_str(), "system.posix_acl_access") == 0
                            : SetAttribute(path, "system.posix_acl_access", acl));
    ASSERT_TRUE(SetAttribute(path, "user.a", "1") &&
                SetAttribute(path, "user.b", std::string("a\0b\xff", 4)) &&
                SetAttribute(path, "user.c", ""));
    const std::string before = AttributesOf(path);
    if (link) fs::create_symlink(path, dir.Path("link"));
    std::string reason;
    EXPECT_TRUE(ReplaceFileWhole(link ? dir.Path("link") : path, "new", &reason)) << reason;
    EXPECT_EQ(test::ReadFileText(path), "new");
    EXPECT_EQ(AttributesOf(path), before);
  }
  // An attribute that the temporary has already, of another value (an LSM's label given at its
  // making, here set as its attributes are given), takes the old file's.
  gLabelled = dir.Path("shared");
  const ReplaceStepCall steps = SetReplaceStepCall(LabelTemporary);
  const std::string own = AttributesOf(dir.Path("shared/own"));
  std::string why;
  EXPECT_TRUE(ReplaceFileWhole(dir.Path("shared/own"), "newest", &why)) << why;
  SetReplaceStepCall(steps);
  EXPECT_EQ(AttributesOf(dir.Path("shared/own")), own);

  // With a call refused in a forked child: an attribute that cannot be given (a security.* one
  // that root set, for a user), the folder's ACL that cannot be taken off, and attributes that
  // cannot be listed refuse the save with the system's reason, the store as it was; a file
  // system that keeps no attributes has none to give, and the store is saved. So for a mode
  // that cannot be set (FUSE vfat): where the file system cannot set one at all, a store whose
  // mode its temporary has already (0600, with the umask 022) is saved, and one a bit away
  // from it (0640) is refused; a mode refused otherwise refuses the save.
  for (const auto& [name, mode] : {std::pair{"plain", 0640}, std::pair{"private", 0600}})
    ASSERT_EQ(::chmod(dir.Write(name, "new").c_str(), mode), 0);
  const std::tuple<std::string, int, int, bool> refusals[] = {
      {"linked", __NR_fsetxattr, EPERM, false},   {"shared/none", __NR_fremovexattr, EIO, false},
      {"plain", __NR_llistxattr, EIO, false},     {"plain", __NR_llistxattr, EOPNOTSUPP, true},
      {"private", __NR_fchmod, ENOSYS, true},     {"plain", __NR_fchmod, ENOSYS, false},
      {"private", __NR_fchmod, EOPNOTSUPP, true}, {"plain", __NR_fchmod, EOPNOTSUPP, false},
      {"private", __NR_fchmod, EPERM, false}};
  for (const auto& [name, call, error, saves] : refusals) {
    SCOPED_TRACE(name + ": " + std::strerror(error));
    const std::string before = AttributesOf(dir.Path(name)),
                      text = test::ReadFileText(dir.Path(name));
    const int status = ChildStatus(dir.path(), [&] {
      ::umask(022);
      const bool refused = call == __NR_llistxattr ? test::RefuseCallWhere(call, 2, 0, error)
                                                   : test::RefuseCall(call, 0, 1 << 20, error);
      std::string reason;
      const bool saved = refused && ReplaceFileWhole(name, text + "er", &reason);
      return refused && saved == saves && (saves || reason == std::strerror(error)) ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(test::ReadFileText(dir.Path(name)), saves ? text + "er" : text);
    EXPECT_EQ(AttributesOf(dir.Path(name)), before);
  }
  EXPECT_EQ(Entries(dir.path()), "link linked plain private shared shared/none shared/own ");
}

// On a FUSE vfat, which sets no mode, owner or attribute (fchmod, fchown: ENOSYS) and gives
// every file the same: a store is saved there, and saved again, as it stands; a new one is made.
// The number of the first check that fails is the status.
int FatChecks() {
  if (!test::WriteFileBytes("registry", {reinterpret_cast<const std::uint8_t*>("old"), 3}))
    return 100;
  const std::string before = OwnerOf("registry");
  int check = 0;
  for (const std::string name : {"registry", "registry", "bookmark.wld"}) {
    std::string reason;
    if (++check, !ReplaceFileWhole(name, "new " + name, &reason)) return check;
    if (++check, test::ReadFileText(name) != "new " + name || OwnerOf(name) != before) return check;
  }
  return Entries("./") == "bookmark.wld registry " ? 0 : ++check;
}

// A file with another name (a hard link, which whoever may change a folder can put there to any
// file of the same disk when fs.protected_hardlinks is off) is written, in a folder that another
// user may change, only where each who may change the folder may write the file too: its owner
// is the folder's owner, or its group's users may write it and are those of the folder, or all
// may write it. A link of root's with another name there is not followed. A file with one name,
// or with two in a folder of root's alone, is written as ever. Another name that takes the
// file's place after the walk is refused as well, the file neither cut nor written.
TEST(FileReplace, AFileWithAnotherNameIsWrittenOnlyWhereWhoeverMayChangeItsFolderMayWriteIt) {
  if (::geteuid() != 0) GTEST_SKIP() << "files of another user are made as root";
  test::TempDir dir("veskor_replace");
  const uid_t other = OtherUser();
  const std::string secret = dir.Path("secret/");  // root's alone
  ASSERT_EQ(::mkdir(secret.c_str(), 0700), 0);
  ASSERT_TRUE(MakeOwned(secret + "root's", 0, 0, 0644));
  ASSERT_TRUE(MakeOwned(secret + "everybody's", 0, 0, 0666));
  ASSERT_TRUE(MakeOwned(secret + "theirs", other, other, 0600));
  ASSERT_TRUE(MakeOwned(secret + "their group's", 0, other, 0664));
  ASSERT_TRUE(MakeOwned(secret + "their group may read", 0, other, 0644));
  ASSERT_EQ(::symlink("root's", (secret + "root's link").c_str()), 0);
  // A folder of the other user's; one of root's that all, or the other user's group, or the
  // group "users" of Debian's base system, or (by its ACL) the other user or its owning group
  // (the other user's, not the owner's) may change; and one of root's alone.
  const struct {
    const char* name;
    uid_t owner;
    gid_t group;
    mode_t mode;
    std::string changers;
  } folders[] = {
      {"user", other, 0, 0755, "user " + std::to_string(other)},
      {"sticky", 0, 0, 01777, "every user"},
      {"group", 0, other, 0775, "the users of group " + std::to_string(other)},
      {"users'", 0, 100, 0775, "the users of group users (gid 100)"},  // a group with a name
      {"acl", 0, 0, 0755, "user " + std::to_string(other)},
      {"group acl", 0, other, 0755, "the users of group " + std::to_string(other)},
      {"masked", 0, 0, 0755, ""},  // its ACL's mask keeps the other user from writing
      {"root's", 0, 0, 0755, ""},
  };
  for (const auto& f : folders) {
    const std::string folder = dir.Path(f.name);
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(::chown(folder.c_str(), f.owner, f.group) | ::chmod(folder.c_str(), f.mode), 0);
  }
  ASSERT_TRUE(
      SetAttribute(dir.Path("acl"), "system.posix_acl_access",
                   Acl({{kOwner, 7}, {kUser, 7, other}, {kOwnGroup, 5}, {kMask, 7}, {kOther, 5}})));
  ASSERT_TRUE(SetAttribute(dir.Path("group acl"), "system.posix_acl_access",
                           Acl({{kOwner, 7}, {kOwnGroup, 7}, {kMask, 7}, {kOther, 5}})));
  ASSERT_TRUE(
      SetAttribute(dir.Path("masked"), "system.posix_acl_access",
                   Acl({{kOwner, 7}, {kUser, 7, other}, {kOwnGroup, 7}, {kMask, 5}, {kOther, 5}})));
  // Each row: a name in a folder, the file of `secret` it is a hard link of ("": a file of its
  // own, with one name), and whether it is written.
  const struct {
    std::string path, of;
    bool written;
  } rows[] = {
      {"user/log", "root's", false},
      {"user/own", "theirs", true},
      {"user/all", "everybody's", true},
      {"user/one", "", true},
      {"sticky/log", "root's", false},
      {"sticky/theirs", "theirs", false},
      {"sticky/all", "everybody's", true},
      {"group/log", "root's", false},
      {"group/shared", "their group's", true},
      {"group/read", "their group may read", false},
      {"users'/log", "root's", false},
      {"acl/log", "root's", false},
      {"acl/all", "everybody's", true},
      {"group acl/log", "root's", false},
      {"group acl/shared", "their group's", true},
      {"masked/log", "root's", true},
      {"root's/log", "root's", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    const std::string path = dir.Path(row.path);
    if (row.of.empty())
      dir.Write(row.path, "old");
    else
      ASSERT_EQ(::link((secret + row.of).c_str(), path.c_str()), 0);
    const std::string before = row.of.empty() ? "" : test::ReadFileText(secret + row.of);
    std::string reason;
    EXPECT_EQ(ReplaceFileWhole(path, "new", &reason), row.written) << reason;
    if (row.written) {
      EXPECT_EQ(test::ReadFileText(path), "new");
    } else {
      const std::string folder = row.path.substr(0, row.path.find('/'));
      const auto f = std::find_if(std::begin(folders), std::end(folders),
                                  [&](const auto& g) { return folder == g.name; });
      EXPECT_EQ(reason, "the file " + path + " has another name (a hard link), in a folder that " +
                            f->changers + " may change: it is not written");
    }
    if (!row.of.empty()) {
      EXPECT_EQ(test::ReadFileText(secret + row.of), before);
    }
    ::unlink(path.c_str());
  }

  // Root's link with another name, in the other user's folder: not followed, as its own.
  ASSERT_EQ(::link((secret + "root's link").c_str(), dir.Path("user/link").c_str()), 0);
  std::string reason;
  EXPECT_FALSE(ReplaceFileWhole(dir.Path("user/link"), "new", &reason));
  EXPECT_EQ(reason, "the link " + dir.Path("user/link") +
                        " has another name (a hard link), in a folder that user " +
                        std::to_string(other) + " may change: it is not followed");
  EXPECT_FALSE(ReplaceFileWhole(dir.Path("user/link/../own"), "new", &reason));
  EXPECT_TRUE(ReplaceFileWhole(secret + "root's link", "by root's own", &reason)) << reason;
  EXPECT_EQ(test::ReadFileText(secret + "root's"), "by root's own");
  dir.Write("secret/root's", "old");

  // A hard link of root's file that takes the name's place just after the walk, as the file is
  // looked at: neither cut nor written, whether it was to be replaced or written in place, and
  // no descriptor of it is kept.
  for (const NotRegularFile mode : {NotRegularFile::kRefused, kInPlace}) {
    const std::set<int> before = OpenDescriptors();
    ::unlink(dir.Path("user/mine").c_str());
    dir.Write("user/mine", "mine");
    ASSERT_EQ(::link((secret + "root's").c_str(), dir.Path("user/swapped").c_str()), 0);
    gLookedAt = dir.Path("user/mine");
    gTakesPlaceAfterLook = dir.Path("user/swapped");
    EXPECT_FALSE(ReplaceFileWhole(dir.Path("user/mine"), "new", &reason, kWhole, mode));
    EXPECT_TRUE(gLookedAt.empty());
    EXPECT_EQ(reason, "the file " + dir.Path("user/mine") +
                          " has another name (a hard link), in a folder that user " +
                          std::to_string(other) + " may change: it is not written");
    EXPECT_EQ(test::ReadFileText(secret + "root's"), "old");
    EXPECT_EQ(OpenDescriptors(), before);
  }
  EXPECT_EQ(Entries(secret),
            "everybody's root's root's link their group may read their group's "
            "theirs ");
}

TEST(FileReplace, AFileSystemThatSetsNoModesIsSavedOnAsItStands) {
  test::TempDir dir("veskor_replace");
  const int status = test::RunOnFatFileSystem(dir.path(), FatChecks);
  if (status == test::kNoFileSystemOfItsOwn)
    GTEST_SKIP() << "no FUSE vfat of the test's own: not root, or no /dev/fuse, fusefat or "
                    "mkfs.vfat";
  EXPECT_EQ(status, 0) << "the first check that failed";
}

// A file held open by the process, as a shell's redirection opens it, in a folder the user may
// not write, named through its descriptor: written through it, the same file, when the process
// was given it at its start, where the descriptor stands or (`whole`, after an earlier write
// left it at the end) as the file's whole text; refused as by a shell when it opened the
// descriptor itself, or the number now holds another file, or no descriptor could have it, the
// file and the descriptor's offset then as they were. The number of the first case that fails
// is the child's status.
int DescriptorChecks() {
  const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01 image", 26);
  const std::string pid = std::to_string(::getpid());
  const std::string head = "head\n", longer(100, 'o');
  enum Start { kGiven, kOpenedSince, kOtherFileSince };
  const std::string bad = "Bad file descriptor";
  // name, descriptor, how it is opened and when, what the file holds before and after, the
  // reason of a refusal ("": any)
  const struct {
    std::string name;
    int fd;
    int flags;
    std::string before, after;
    Start start = kGiven;
    std::string reason = "";
    bool whole = false;
    off_t at = 0;  // where the descriptor stands when the write comes (a whole write: the end)
  } cases[] = {
      {"/dev/stdout", 1, O_WRONLY | O_TRUNC, longer, png},      // > out.png
      {"/dev/stderr", 2, O_WRONLY | O_TRUNC, longer, png},      // 2> out.png
      {"/dev/stdin", 0, O_RDWR, longer, png},                   // <> out.png: cut at its end
      {"/dev/fd/7", 7, O_WRONLY | O_APPEND, head, head + png},  // 7>> out.png
      {"/proc/self/fd/7", 7, O_WRONLY | O_TRUNC, longer, png},
      {"/proc/" + pid + "/fd/7", 7, O_WRONLY | O_APPEND, head, head + png},
      {"/proc/thread-self/fd/7", 7, O_WRONLY | O_TRUNC, longer, png},
      {"/proc/" + pid + "/task/" + pid + "/fd/7", 7, O_WRONLY | O_TRUNC, longer, png},
      {"out-link", 1, O_WRONLY | O_TRUNC, longer, png},  // a link to /dev/stdout
      {"/dev/fd/10", 10, O_WRONLY | O_TRUNC, longer, png},
      // 7<> out.png after "head\n" was read: the image from there, the file cut where it ends.
      {"/dev/fd/7", 7, O_RDWR, head + longer, head + png, kGiven, "", false, 5},
      {"/dev/fd/7", 7, O_RDWR, head, head + png, kGiven, "", false, 5},
      // 7>> out.png with the descriptor moved back: the image at the end, nothing cut.
      {"/dev/fd/7", 7, O_WRONLY | O_APPEND, head, head + png, kGiven, "", false, 2},
      {"/dev/fd/7", 7, O_RDWR, longer, png, kGiven, "", true},             // 7<> registry
      {"/dev/fd/7", 7, O_WRONLY | O_APPEND, head, png, kGiven, "", true},  // 7>> registry
      {"/proc/self/fd/1", 1, O_RDWR, longer, png, kGiven, "", true},       // 1<> registry
      {"/no/such/7", 7, O_WRONLY | O_APPEND, head, head, kGiven,
       "cannot make a file in /no/such: No such file or directory"},
      {"/dev/fd/07", 7, O_WRONLY | O_APPEND, head, head},              // no descriptor's name
      {"/dev/fd/9", 7, O_WRONLY | O_APPEND, head, head, kGiven, bad},  // not open
      {"/proc/1/fd/7", 7, O_WRONLY | O_APPEND, head, head},            // another process's
      {"/dev/fd/7", 7, O_WRONLY | O_APPEND, head, head, kOpenedSince, bad},
      {"/dev/fd/7", 7, O_WRONLY | O_APPEND, head, head, kOpenedSince, bad, true},  // not emptied
      {"/dev/fd/7", 7, O_RDWR, longer, longer, kOpenedSince, bad, true},  // nor moved to its start
      {"/proc/" + pid + "/task/" + pid + "/fd/7", 7, O_WRONLY, head, head, kOpenedSince, bad},
      {"/dev/stdout", 1, O_WRONLY | O_APPEND, head, head, kOpenedSince, bad},
      {"/dev/stdout", 1, O_WRONLY | O_APPEND, head, head, kOtherFileSince, bad},
      {"out-link", 1, O_WRONLY | O_APPEND, head, head, kOtherFileSince, bad},
      {"/dev/fd/2147483647", 7, O_WRONLY | O_APPEND, head, head, kGiven, bad},  // INT_MAX
      {"/dev/fd/2147483648", 7, O_WRONLY | O_APPEND, head, head, kGiven, bad},
      {"/dev/fd/4294967303", 7, O_WRONLY | O_APPEND, head, head, kGiven, bad},  // 2^32 + 7
      {"/proc/self/fd/100018246367653188861959", 7, O_WRONLY | O_APPEND, head, head, kGiven,
       bad},  // 7 modulo 2^64
  };
  ::symlink("/dev/stdout", "out-link");
  ::mkdir("closed", 0755);
  if (::close(::open("closed/out.png", O_WRONLY | O_CREAT, 0644)) != 0) return 100;
  ::chmod("closed", 0555);
  struct stat before {};
  ::stat("closed/out.png", &before);
  int failed = 0;
  for (std::size_t i = 0; i < std::size(cases) && failed == 0; ++i) {
    const auto& c = cases[i];
    const int fill = ::open("closed/out.png", O_WRONLY | O_TRUNC);
    const bool filled =
        ::write(fill, c.before.data(), c.before.size()) == static_cast<ssize_t>(c.before.size());
    ::close(fill);
    const int fd = ::open("closed/out.png", c.flags);
    if (c.start == kOpenedSince) {  // a start without it (`>&-`): the descriptor came since
      ::close(c.fd);
      NoteGivenDescriptors();
    }
    if (!filled || fd < 0 || ::dup2(fd, c.fd) != c.fd) return 101;
    if (c.start != kOpenedSince) NoteGivenDescriptors();
    if (c.start == kOtherFileSince &&  // another file of the same file system
        ::dup2(::open("other", O_WRONLY | O_CREAT, 0644), c.fd) != c.fd)
      return 102;
    ::lseek(c.fd, c.at, c.whole ? SEEK_END : SEEK_SET);
    const off_t offset = ::lseek(c.fd, 0, SEEK_CUR);
    std::string reason;
    const bool written = ReplaceFileWhole(
        c.name, png, &reason,
        c.whole ? ThroughDescriptor::kWholeFile : ThroughDescriptor::kWhereItStands);
    // A refused descriptor is left where it stood.
    const bool untouched = written || ::lseek(c.fd, 0, SEEK_CUR) == offset;
    ::close(c.fd);
    ::close(fd);
    struct stat after {};
    const bool same = ::stat("closed/out.png", &after) == 0 && after.st_ino == before.st_ino &&
                      after.st_dev == before.st_dev;
    if (written != (c.after != c.before) || !same || !untouched ||
        test::ReadFileText("closed/out.png") != c.after || Entries("closed/") != "out.png " ||
        (!c.reason.empty() && reason != c.reason))
      failed = static_cast<int>(i) + 1;
  }
  return failed;
}

// And a file of another file system with the same inode number put on the number since: two
// fresh tmpfs instances number their first files alike. As root, in a mount namespace of the
// child's own: 0 when the name is refused, 1 when it is written, 2 when it cannot be tried.
int OtherFileSystemCheck() {
  if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0 ||
      ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    return 2;
  int fds[2];
  struct stat st[2];
  for (int i = 0; i < 2; ++i) {
    const std::string folder = i == 0 ? "given" : "other";
    if (::mkdir(folder.c_str(), 0755) != 0 ||
        ::mount("veskor-test", folder.c_str(), "tmpfs", 0, "size=64k") != 0 ||
        (fds[i] = ::open((folder + "/out.png").c_str(), O_RDWR | O_CREAT, 0644)) < 0 ||
        ::fstat(fds[i], &st[i]) != 0)
      return 2;
  }
  if (st[0].st_ino != st[1].st_ino || st[0].st_dev == st[1].st_dev || ::dup2(fds[0], 7) != 7)
    return 2;
  NoteGivenDescriptors();
  std::string reason;
  return ::dup2(fds[1], 7) == 7 && !ReplaceFileWhole("/dev/fd/7", "png", &reason) &&
                 reason == "Bad file descriptor" && ::lseek(fds[1], 0, SEEK_END) == 0
             ? 0
             : 1;
}

TEST(FileReplace, AFileHeldOpenIsWrittenThroughItsDescriptorAsItWasOpened) {
  test::TempDir dir("veskor_replace");
  EXPECT_EQ(test::RunAsUser(dir.path(), DescriptorChecks), 0);
  test::TempDir other("veskor_replace");
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(::chdir(other.path().c_str()) == 0 ? OtherFileSystemCheck() : 3);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "no two file systems of the test's own: not root";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "another file system's file with the same inode number";
}

// The whole of the file that `fd` is open on, however it is open, and without moving it.
std::string ReadAllOf(int fd) { return test::ReadFileText("/proc/self/fd/" + std::to_string(fd)); }

bool Appends(int fd) { return (::fcntl(fd, F_GETFL) & O_APPEND) != 0; }

// A memfd sealed against the cut that a whole text needs (shrinking to a shorter one, growing
// to a longer one) or against any write: refused before the first byte, whatever the
// descriptor's mode, so the old text stays whole. A seal that the cut does not meet changes
// nothing.
TEST(FileReplace, ASealedMemfdIsRefusedTheWholeTextItsSealsForbidBeforeItsFirstByte) {
  const std::string old = "0123456789", shorter = "abc", same = "abcdefghij",
                    longer = "abcdefghijk";
  const int kAppend = O_WRONLY | O_APPEND;
  // seals, how the descriptor is open, the new text, written
  const struct {
    int seals;
    int flags;
    std::string text;
    bool written;
  } cases[] = {
      {0, O_RDWR, shorter, true},
      {0, O_RDWR, "", true},
      {F_SEAL_SEAL, O_RDWR, shorter, true},
      {F_SEAL_SHRINK, O_RDWR, shorter, false},
      {F_SEAL_SHRINK, kAppend, shorter, false},
      {F_SEAL_SHRINK, O_RDWR, same, true},
      {F_SEAL_SHRINK, O_RDWR, longer, true},
      {F_SEAL_SHRINK, kAppend, longer, true},  // `>>` is not emptied first
      {F_SEAL_GROW, O_RDWR, longer, false},
      {F_SEAL_GROW, kAppend, longer, false},
      {F_SEAL_GROW, O_RDWR, same, true},
      {F_SEAL_GROW, kAppend, shorter, true},
      {F_SEAL_SHRINK | F_SEAL_GROW, O_RDWR, same, true},
      {F_SEAL_WRITE, O_RDWR, same, false},
      {F_SEAL_FUTURE_WRITE, kAppend, same, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.seals) + " " + std::to_string(c.flags) + " " + c.text);
    const int memfd = ::memfd_create("registry", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    ASSERT_GE(memfd, 0);
    ASSERT_EQ(::write(memfd, old.data(), old.size()), static_cast<ssize_t>(old.size()));
    const int fd = ::open(("/proc/self/fd/" + std::to_string(memfd)).c_str(), c.flags);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(c.seals == 0 || ::fcntl(memfd, F_ADD_SEALS, c.seals) == 0, true);
    NoteGivenDescriptors();
    std::string reason;
    EXPECT_EQ(ReplaceFileWhole("/dev/fd/" + std::to_string(fd), c.text, &reason), c.written)
        << reason;
    EXPECT_EQ(reason, c.written ? "" : "Operation not permitted");
    EXPECT_EQ(ReadAllOf(memfd), c.written ? c.text : old);
    EXPECT_EQ(Appends(fd), (c.flags & O_APPEND) != 0);  // given back as it was
    ::close(fd);
    ::close(memfd);
  }
}

// The descriptor modes of a whole text: `<>`, `>`, `>>`.
constexpr int kWholeModes[] = {O_RDWR, O_WRONLY | O_TRUNC, O_WRONLY | O_APPEND};

// Fills the file system of the working folder with "fill" until it has no room left.
bool FillTheDisk() {
  const int fd = ::open("fill", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const std::string block(4096, 'f');
  ssize_t n = 0;
  while ((n = ::write(fd, block.data(), block.size())) > 0) {
  }
  const bool full = n < 0 && errno == ENOSPC;
  ::close(fd);
  return full;
}

// Fills the disk but for `pages` pages of room.
bool LeaveRoom(int pages) {
  const int fd = ::open("spare", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const std::string page(4096, 's');
  bool made = fd >= 0;
  for (int i = 0; i < pages; ++i)
    made = made && ::write(fd, page.data(), page.size()) == static_cast<ssize_t>(page.size());
  if (fd >= 0) ::close(fd);
  return made && FillTheDisk() && ::unlink("spare") == 0;
}

// A store with holes, saved whole through its descriptor in each mode on a disk with `room`
// pages free: the holes that the new text covers take room as much as its part past the old
// end, and with a page less than they need the save is refused before any byte changes. Where
// room cannot be reserved (not `reservable`), a hole that cannot be looked for (the file
// system's SEEK_DATA, then its SEEK_HOLE, failing) refuses the save with that reason, and a
// file without one is saved all the same. With the checks' own numbers from `check` on; 0
// when all pass.
int HoleChecks(int check, bool reservable) {
  constexpr off_t kPage = 4096;
  const std::string a(kPage, 'a'), b(kPage, 'b'), hole(kPage, '\0');
  // The old file: its pages of data at their offsets, then its length (a hole made by a write
  // past the end, one made by the cut that lengthens it, and one where the file starts).
  const struct {
    std::vector<std::pair<off_t, std::string>> data;
    off_t length;
    std::string text;
  } between{{{0, a}, {2 * kPage, b}}, 3 * kPage, a + hole + b},
      atTheEnd{{{0, a}}, 3 * kPage, a + hole + hole}, atTheStart{{{kPage, b}}, 2 * kPage, hole + b};
  // the old file, the new text's pages, the pages of room, saved
  const struct {
    const decltype(between)& old;
    int pages;
    int room;
    bool saved;
  } cases[] = {
      {between, 3, 0, false},     // a hole, and no room
      {between, 3, 1, true},      // room for the hole
      {atTheEnd, 3, 1, false},    // two holes, room for one
      {atTheEnd, 3, 2, true},     // room for both
      {atTheEnd, 2, 0, false},    // one of the two covered, no room
      {atTheEnd, 2, 1, true},     // room for that one
      {between, 4, 1, false},     // a hole and a page past the end, room for one
      {between, 4, 2, true},      // room for both
      {atTheStart, 2, 0, false},  // a hole where the file starts
      {atTheStart, 2, 1, true},
  };
  for (const int flags : kWholeModes) {
    for (const auto& c : cases) {
      ::unlink("fill");
      ::unlink("st");
      const int fd = ::open("st", flags | O_CREAT, 0644);
      const int maker = ::open("st", O_RDWR);
      for (const auto& [at, data] : c.old.data)
        if (::pwrite(maker, data.data(), data.size(), at) != static_cast<ssize_t>(data.size()))
          return 104;
      if (fd < 0 || ::ftruncate(maker, c.old.length) != 0 || ::close(maker) != 0 ||
          ::dup2(fd, 7) != 7 || ReadAllOf(7) != c.old.text || !LeaveRoom(c.room))
        return 105;
      NoteGivenDescriptors();
      const std::string text(static_cast<std::size_t>(c.pages * kPage), 'n');
      std::string reason;
      const bool saved = ReplaceFileWhole("/dev/fd/7", text, &reason);
      if (++check, saved != c.saved || (!saved && reason != "No space left on device"))
        return check;
      if (++check, ReadAllOf(7) != (saved ? text : c.old.text)) return check;
      if (++check, Appends(7) != ((flags & O_APPEND) != 0)) return check;
      ::close(7);
      ::close(fd);
    }
  }
  ::unlink("fill");
  for (const int whence : {SEEK_DATA, SEEK_HOLE}) {
    if (reservable) break;
    const int fd = ::open("st", O_RDWR);
    if (fd < 0 || ::ftruncate(fd, 0) != 0 || ::pwrite(fd, a.data(), a.size(), 0) != kPage ||
        ::pwrite(fd, b.data(), b.size(), 2 * kPage) != kPage || ::dup2(fd, 7) != 7 ||
        !test::RefuseCallWhere(__NR_lseek, 2, static_cast<unsigned>(whence), EIO))
      return 106;
    NoteGivenDescriptors();
    std::string reason;
    if (++check, ReplaceFileWhole("/dev/fd/7", std::string(3 * kPage, 'n'), &reason) ||
                     reason != "Input/output error" || ReadAllOf(7) != between.text)
      return check;
    // No hole before the text's end, its first look-up finds: no SEEK_DATA is needed.
    if (++check,
        whence == SEEK_DATA && (::ftruncate(7, kPage) != 0 ||
                                !ReplaceFileWhole("/dev/fd/7", b, &reason) || ReadAllOf(7) != b))
      return check;
    ::close(7);
    ::close(fd);
  }
  ::unlink("st");
  return 0;
}

// On a 64 KiB tmpfs, a store written whole through its descriptor in each mode, then a longer
// one once the disk is full: the old text stays to its last byte, the reason says why, and the
// descriptor appends as before; with room again, the new text goes in. So too where the room
// cannot be reserved (fallocate answers `refusal`, as on ext2), the old text ending inside the
// page that the new one's first bytes past it fill; and so for a store with holes. The number
// of the first check that fails is the status.
int FullDiskChecks(int refusal) {
  if (refusal != 0 && !test::RefuseCall(__NR_fallocate, 7, 7, refusal)) return 99;
  const std::string old = std::string(4092, 'o') + "\n";     // one page of the disk
  const std::string longer = std::string(4096, 'n') + "\n";  // two
  int check = 0;
  for (const int flags : kWholeModes) {
    ::unlink("fill");
    const int fd = ::open("st", flags | O_CREAT, 0644);
    if (fd < 0 || ::dup2(fd, 7) != 7) return 100;
    NoteGivenDescriptors();
    std::string reason;
    if (++check, !ReplaceFileWhole("/dev/fd/7", old, &reason) || ReadAllOf(7) != old) return check;
    if (++check, !FillTheDisk()) return check;
    if (++check, ReplaceFileWhole("/dev/fd/7", longer, &reason)) return check;
    if (++check, reason != "No space left on device") return check;
    if (++check, ReadAllOf(7) != old) return check;
    if (++check, Appends(7) != ((flags & O_APPEND) != 0)) return check;
    // A byte less, the page that the old text holds: it goes in on the full disk all the same.
    const std::string fits = longer.substr(1);
    if (++check, !ReplaceFileWhole("/dev/fd/7", fits, &reason) || ReadAllOf(7) != fits)
      return check;
    ::unlink("fill");
    if (++check, !ReplaceFileWhole("/dev/fd/7", longer, &reason) || ReadAllOf(7) != longer)
      return check;
    if (++check, Appends(7) != ((flags & O_APPEND) != 0)) return check;
    ::close(7);
    ::close(fd);
    ::unlink("st");
  }
  return HoleChecks(check, refusal == 0);
}

TEST(FileReplace, AWholeTextWithoutRoomOnTheDiskLeavesTheOldTextInEachMode) {
  test::TempDir dir("veskor_replace");
  for (const int refusal : {0, EOPNOTSUPP, ENOSYS}) {
    SCOPED_TRACE("fallocate refused with " + std::to_string(refusal));
    const int status = test::RunOnFileSystemOfItsOwn(dir.path(), "tmpfs", "size=64k",
                                                     [&] { return FullDiskChecks(refusal); });
    if (status == test::kNoFileSystemOfItsOwn)
      GTEST_SKIP() << "no small disk of the test's own: not root";
    EXPECT_EQ(status, 0) << "the first check that failed";
  }
}

// Whether `folder` holds none of the replace's temporaries.
bool NoTemporaryIn(const std::string& folder) {
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().find(kReplaceTemporaryTag) != std::string::npos)
      return false;
  return true;
}

// On a 64 KiB tmpfs of its own, the file "mounted" bind-mounted over "registry" beside it and
// over one in the folder of another tmpfs with room, as a container is given its settings: each
// saved by name (and through a link) is written in place whole, and stays mounted, no temporary
// left. With no room for the longer text on the full disk, it is refused and keeps its old text;
// a text that fits in the page it holds goes in. Beside it, the temporary goes before the write
// in place, so that room for one copy of the text is enough. The number of the first check that
// fails is the status.
int MountedFileChecks() {
  const std::string old = std::string(4092, 'o') + "\n";     // one page of the disk
  const std::string longer = std::string(4096, 'n') + "\n";  // two
  const std::string fits = longer.substr(1);
  struct stat mounted {};
  if (!test::WriteFileBytes("mounted", {}) || ::stat("mounted", &mounted) != 0 ||
      ::mkdir("roomy", 0755) != 0 || ::mount("veskor-test", "roomy", "tmpfs", 0, "size=1m") != 0)
    return test::kNoFileSystemOfItsOwn;
  for (const char* at : {"registry", "roomy/registry"})
    if (!test::WriteFileBytes(at, {}) || ::mount("mounted", at, nullptr, MS_BIND, nullptr) != 0)
      return test::kNoFileSystemOfItsOwn;
  if (::symlink("registry", "roomy/link") != 0) return 100;
  // the name saved, the pages of room left on the disk (-1: all it has), the text, saved
  const struct {
    const char* name;
    int room;
    const std::string& text;
    bool saved;
  } cases[] = {{"roomy/registry", -1, longer, true}, {"roomy/link", -1, longer, true},
               {"roomy/registry", 0, longer, false}, {"roomy/registry", 0, fits, true},
               {"registry", 2, longer, true},        {"registry", 1, longer, false}};
  int check = 0;
  for (const auto& c : cases) {
    ::unlink("fill");
    if (!test::WriteFileBytes("mounted",
                              {reinterpret_cast<const std::uint8_t*>(old.data()), old.size()}) ||
        (c.room >= 0 && !LeaveRoom(c.room)))
      return 101;
    std::string reason;
    const bool saved = ReplaceFileWhole(c.name, c.text, &reason);
    if (++check, saved != c.saved || (!saved && reason != "No space left on device")) return check;
    if (++check, test::ReadFileText("mounted") != (saved ? c.text : old)) return check;
    struct stat st {};
    for (const char* at : {"registry", "roomy/registry"})
      if (++check, ::stat(at, &st) != 0 || st.st_ino != mounted.st_ino) return check;
    if (++check, !NoTemporaryIn(".") || !NoTemporaryIn("roomy") || !fs::is_symlink("roomy/link"))
      return check;
  }
  // A device mounted in the file's place just before the rename: refused with what it is, and
  // left as it is.
  const ReplaceStepCall was = SetReplaceStepCall([](ReplaceStep step) {
    if (step == ReplaceStep::kRename) ::mount("/dev/null", "registry", nullptr, MS_BIND, nullptr);
  });
  std::string reason;
  const bool saved = ReplaceFileWhole("registry", "new", &reason);
  SetReplaceStepCall(was);
  struct stat st {};
  if (++check, saved || reason != "it is a device, not a regular file" ||
                   ::stat("registry", &st) != 0 || !S_ISCHR(st.st_mode) || !NoTemporaryIn("."))
    return check;
  return 0;
}

// A file that the rename cannot replace, a mount point (EBUSY), is written in place whole, and
// a rename refused otherwise fails the save with its reason, as by a seccomp filter in a forked
// child; the file then as it was, no temporary left. So is a mount point that gets a second
// name during the save (at the rename), in a folder that every user may change. As root, a
// real bind mount, above.
TEST(FileReplace, AMountedFileIsWrittenInPlaceWholeOrKeepsItsOldText) {
  test::TempDir dir("veskor_replace");
  const std::string linked =
      "the file registry has another name (a hard link), in a folder that every user may change: "
      "it is not written";
  const struct {
    int error;
    bool linked;
  } rows[] = {{EBUSY, false}, {EXDEV, false}, {EBUSY, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::strerror(row.error) + std::string(row.linked ? ", linked" : ""));
    const std::string path = dir.Write("registry", "old");
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), row.linked ? 01777 : 0700), 0);
    const bool written = row.error == EBUSY && !row.linked;
    const int status = ChildStatus(dir.path(), [&] {
      std::string reason;
      if (!test::RefuseCall(__NR_rename, 0, -1, row.error)) return 2;
      if (row.linked)
        SetReplaceStepCall([](ReplaceStep step) {
          if (step == ReplaceStep::kRename) ::link("registry", "second");
        });
      const bool saved = ReplaceFileWhole("registry", "new", &reason);
      return saved == written &&
                     (saved || reason == (row.linked ? linked : std::strerror(row.error)))
                 ? 0
                 : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(test::ReadFileText(path), written ? "new" : "old");
    struct stat after {};
    EXPECT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(Entries(dir.path()), row.linked ? "registry second " : "registry ");
  }
  test::TempDir mounts("veskor_replace");
  const int status =
      test::RunOnFileSystemOfItsOwn(mounts.path(), "tmpfs", "size=64k", MountedFileChecks);
  if (status == test::kNoFileSystemOfItsOwn)
    GTEST_SKIP() << "no bind mounts of the test's own: not root, or mounts refused";
  EXPECT_EQ(status, 0) << "the first check that failed";
}

// On a tmpfs of its own, where files may be made append-only (chattr +a): a whole text is
// refused with the system's reason and nothing is appended, through `>>` or through a `<>` that
// was opened before the file became append-only; a capture through `>>` is appended as ever.
// A store in an append-only folder, where a temporary could be made and never go, is refused
// with the same reason before one is made; once the folder is no longer so, it is replaced. The
// folder that counts is the file's own, at the end of its links: a link from an ordinary folder
// into the append-only one is refused alike, and a link lying in the append-only folder that
// leads into an ordinary one is saved there, the link staying a link.
int AppendOnlyChecks() {
  const std::string old = "old text\n";
  int check = 0;
  for (const int flags : {O_WRONLY | O_APPEND, O_RDWR}) {
    const int fd = ::open("st", flags | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, old.data(), old.size()) != static_cast<ssize_t>(old.size()) ||
        ::dup2(fd, 7) != 7)
      return 100;
    int attributes = FS_APPEND_FL;
    if (::ioctl(fd, FS_IOC_SETFLAGS, &attributes) != 0)
      return test::kNoFileSystemOfItsOwn;  // a tmpfs that keeps no file flags (before Linux 6.0)
    NoteGivenDescriptors();
    std::string reason;
    if (++check, ReplaceFileWhole("/dev/fd/7", "new", &reason)) return check;
    if (++check, reason != "Operation not permitted") return check;
    if (++check, ReadAllOf(7) != old || Appends(7) != ((flags & O_APPEND) != 0)) return check;
    if ((flags & O_APPEND) != 0) {
      if (++check,
          !ReplaceFileWhole("/dev/fd/7", "png", &reason, ThroughDescriptor::kWhereItStands) ||
              ReadAllOf(7) != old + "png")
        return check;
    }
    attributes = 0;
    ::ioctl(fd, FS_IOC_SETFLAGS, &attributes);
    ::close(7);
    ::close(fd);
    ::unlink("st");
  }
  const int folder = ::mkdir("folder", 0755) == 0 ? ::open("folder", O_RDONLY | O_DIRECTORY) : -1;
  if (::mkdir("plain", 0755) != 0 || ::symlink("folder/st", "into") != 0 ||
      ::symlink("../plain/st", "folder/out") != 0)
    return 102;
  ::close(0);  // so that the save's own descriptors of the folder may be numbered 0
  const std::span<const std::uint8_t> oldText{reinterpret_cast<const std::uint8_t*>("old"), 3};
  for (const int attributes : {FS_APPEND_FL, 0}) {
    std::string reason;
    if (!test::WriteFileBytes("folder/st", oldText) || !test::WriteFileBytes("plain/st", oldText) ||
        ::ioctl(folder, FS_IOC_SETFLAGS, &attributes) != 0)
      return 101;
    for (const char* name : {"folder/st", "into"}) {
      const bool written = ReplaceFileWhole(name, "new", &reason);
      if (++check,
          written != (attributes == 0) || (!written && reason != "Operation not permitted"))
        return check;
      if (++check, test::ReadFileText("folder/st") != (written ? "new" : "old") ||
                       Entries("folder/") != "out st " || ::fcntl(0, F_GETFD) != -1)
        return check;
      if (!test::WriteFileBytes("folder/st", oldText)) return 103;
    }
    if (++check, !ReplaceFileWhole("folder/out", "new", &reason) ||
                     test::ReadFileText("plain/st") != "new" || !fs::is_symlink("folder/out") ||
                     Entries("plain/") != "st " || Entries("folder/") != "out st ")
      return check;
    if (++check, !fs::is_symlink("into")) return check;
  }
  ::close(folder);
  return 0;
}

TEST(FileReplace, AnAppendOnlyFileIsRefusedAWholeTextAndTakesACapture) {
  test::TempDir dir("veskor_replace");
  const int status =
      test::RunOnFileSystemOfItsOwn(dir.path(), "tmpfs", "size=64k", AppendOnlyChecks);
  if (status == test::kNoFileSystemOfItsOwn)
    GTEST_SKIP() << "no append-only files here: not root, or a tmpfs without file flags";
  EXPECT_EQ(status, 0) << "the first check that failed";
}

// Under a file-size limit (`ulimit -f`), a store shorter than it and one longer, by name and
// through its descriptor in each mode: a text of exactly the limit goes in; one a byte longer is
// refused with the reason, the old text whole, no temporary left, the descriptor as it was.
// First at SIGXFSZ's default action (a write past the limit would end the process), then with a
// handler and fallocate refused as on ext2 (it would tear the store). The status: the number of
// the first check that fails.
int FileSizeLimitChecks() {
  constexpr rlim_t kLimit = 16384;
  rlimit was{};
  if (::getrlimit(RLIMIT_FSIZE, &was) != 0) return 100;
  const rlimit limit{kLimit, was.rlim_max};
  int check = 0;
  for (const bool handled : {false, true}) {
    if (handled && (::signal(SIGXFSZ, [](int) {}) == SIG_ERR ||
                    !test::RefuseCall(__NR_fallocate, 7, 7, EOPNOTSUPP)))
      return 101;
    for (const std::string& old : {std::string("old text\n"), std::string(kLimit + 100, 'o')}) {
      for (const int flags : {0, O_RDWR, O_WRONLY | O_TRUNC, O_WRONLY | O_APPEND}) {  // 0: by name
        for (const rlim_t length : {kLimit, kLimit + 1}) {
          ::unlink("st");
          const int fd = ::open("st", (flags == 0 ? O_WRONLY : flags) | O_CREAT, 0644);
          if (::write(fd, old.data(), old.size()) != static_cast<ssize_t>(old.size()) ||
              ::dup2(fd, 7) != 7)
            return 102;
          NoteGivenDescriptors();
          const std::string text(length, 'n');
          std::string reason;
          const bool saved = ::setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
                             ReplaceFileWhole(flags == 0 ? "st" : "/dev/fd/7", text, &reason);
          if (++check, ::setrlimit(RLIMIT_FSIZE, &was) != 0 || saved != (length == kLimit) ||
                           (!saved && reason != "File too large") ||
                           test::ReadFileText("st") != (saved ? text : old) ||
                           Entries("./") != "st " || Appends(7) != ((flags & O_APPEND) != 0))
            return check;
          ::close(7);
          ::close(fd);
        }
      }
    }
  }
  // A capture written in place over a file that took its name's place just after the look
  // (never renamed over): emptied first, so that what the limit lets in is all it holds.
  const std::string longer(kLimit + 100, 'o');
  if (!test::WriteFileBytes("mine", {}) ||
      !test::WriteFileBytes("other",
                            {reinterpret_cast<const std::uint8_t*>(longer.data()), longer.size()}))
    return 103;
  gLookedAt = "mine";
  gTakesPlaceAfterLook = "other";
  std::string reason;
  const bool saved =
      ::setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
      ReplaceFileWhole("mine", std::string(kLimit + 1, 'n'), &reason, kWhole, kInPlace);
  if (++check, ::setrlimit(RLIMIT_FSIZE, &was) != 0 || saved || reason != "File too large" ||
                   test::ReadFileText("mine") != std::string(kLimit, 'n'))
    return check;
  return 0;
}

// A text longer than the file-size limit, whatever SIGXFSZ's action: refused before its first
// byte, the run going on; one of exactly the limit goes in.
TEST(FileReplace, ATextPastTheFileSizeLimitIsRefusedBeforeItsFirstByte) {
  test::TempDir dir("veskor_replace");
  EXPECT_EQ(ChildStatus(dir.path(), FileSizeLimitChecks), 0)
      << "the first check that failed, times 256";
}

// On ramfs, which cannot reserve room (fallocate: EOPNOTSUPP): a whole text through a
// descriptor goes in, in each mode, its room taken otherwise.
int NoReservationChecks() {
  const int probe = ::open("probe", O_WRONLY | O_CREAT, 0644);
  if (probe < 0 || ::fallocate(probe, FALLOC_FL_KEEP_SIZE, 0, 1) == 0 || errno != EOPNOTSUPP)
    return 100;  // the file system is not the one the checks are for
  ::close(probe);
  int check = 0;
  for (const int flags : kWholeModes) {
    const int fd = ::open("st", flags | O_CREAT, 0644);
    if (fd < 0 || ::write(fd, "old text", 8) != 8 || ::dup2(fd, 7) != 7) return 101;
    NoteGivenDescriptors();
    std::string reason;
    if (++check, !ReplaceFileWhole("/dev/fd/7", "new", &reason) || ReadAllOf(7) != "new")
      return check;
    ::close(7);
    ::close(fd);
  }
  return 0;
}

TEST(FileReplace, AFileSystemThatCannotReserveRoomIsWrittenAsBefore) {
  test::TempDir dir("veskor_replace");
  const int status = test::RunOnFileSystemOfItsOwn(dir.path(), "ramfs", "", NoReservationChecks);
  if (status == test::kNoFileSystemOfItsOwn) GTEST_SKIP() << "no ramfs of the test's own: not root";
  EXPECT_EQ(status, 0) << "the first check that failed";
}

// HeldSync holds a write inside the file's hold, after its cut.
using test::gHeldSays;
using test::gLetGo;
using test::Heard;
using test::HeldSync;

// A child that writes `text` whole through "/dev/fd/<fd>", says so on `says` before it starts,
// and writes its reason, if it fails, to `reasons`; then, given an `end`, lives on, the
// descriptor open, until it hears on it. Its status is 0 when the text went in.
pid_t StartWriter(int fd, const std::string& text, int says, int reasons, int end = -1) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const char byte = 'w';
    if (::write(says, &byte, 1) != 1) ::_exit(2);
    std::string reason;
    const bool written = ReplaceFileWhole("/dev/fd/" + std::to_string(fd), text, &reason);
    if (!written && ::write(reasons, reason.data(), reason.size()) < 0) ::_exit(3);
    if (end >= 0 && !Heard(end)) ::_exit(4);
    ::_exit(written ? 0 : 1);
  }
  return pid;
}

int StatusOf(pid_t pid) {
  int status = 0;
  return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Two processes that share one descriptor, as two runs started with the same `3<> registry`
// do: while the first holds the file inside its write (its sync held), the second's write waits
// for it, and then goes in whole, also when the first lives on after its write (the file is let
// go with the write, not with the process, and so a read of it by its name goes in too); one
// held past kReplaceHoldSeconds makes the second fail, naming the holder, and leaves the first's
// text.
// A whole write whose hold cannot be had lets go of no lock that the process holds otherwise:
// here a reader's hold on the file open as descriptor 0, which a process that wants to write
// that file still meets afterwards. In a child; 0 when it holds.
bool WriteLockTaken(const char* path) {  // by another process, at once or not at all
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(path, O_RDWR);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    ::_exit(fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? 0 : 1);
  }
  int status = -1;
  return ::waitpid(pid, &status, 0) == pid && status == 0;
}
int OtherLocksChecks(const std::string& dir) {
  const std::string read = dir + "read", busy = dir + "busy";
  const int input = ::open(read.c_str(), O_RDWR | O_CREAT, 0600);
  const int other = ::open(busy.c_str(), O_RDWR | O_CREAT, 0600);
  std::string reason;
  if (input < 0 || ::dup2(input, STDIN_FILENO) != 0 || other < 0 ||
      !HoldFileForReading(STDIN_FILENO, &reason) || WriteLockTaken(read.c_str()))
    return 1;
  int ends[2];
  if (::pipe(ends) != 0) return 2;
  const pid_t holder = ::fork();
  if (holder == 0) {  // holds the other file until the pipe closes
    struct flock lock {};
    lock.l_type = F_WRLCK;
    char c;
    ::close(ends[1]);
    // waiting out the look of the loop below, which takes the lock for a moment
    ::_exit(::fcntl(other, F_SETLKW, &lock) == 0 && ::read(ends[0], &c, 1) == 0 ? 0 : 1);
  }
  ::close(ends[0]);
  for (int i = 0; i < 1000 && WriteLockTaken(busy.c_str()); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const bool refused = !WriteWholeThrough(other, "text", &reason) &&
                       reason.find("has held the file for more than") != std::string::npos;
  ::close(ends[1]);
  ::waitpid(holder, nullptr, 0);
  if (!refused) return 3;
  return WriteLockTaken(read.c_str()) ? 4 : 0;
}
TEST(FileReplace, AHoldThatCannotBeHadLetsGoOfNoOtherLock) {
  test::TempDir dir("veskor_replace");
  EXPECT_EXIT(_exit(OtherLocksChecks(dir.path())), testing::ExitedWithCode(0), "");
}

TEST(FileReplace, TwoProcessesSharingADescriptorWriteInTurn) {
  test::TempDir dir("veskor_replace");
  const std::string first(3000, 'a'), second = "second\n";
  // how the descriptor is open, whether the first lets go within the second's time, and
  // whether it lives on after its write
  const std::tuple<int, bool, bool> cases[] = {{O_RDWR, true, false},
                                               {O_WRONLY | O_APPEND, true, false},
                                               {O_WRONLY | O_APPEND, false, false},
                                               {O_RDWR, true, true}};
  for (const auto& [flags, letGo, livesOn] : cases) {
    SCOPED_TRACE(std::to_string(flags) + (letGo ? " let go" : " held") +
                 (livesOn ? ", lives on" : ""));
    const int fd = ::open(dir.Write("registry", "old").c_str(), flags);
    NoteGivenDescriptors();
    int held[2], go[2], says[2], reasons[2], end[2];
    ASSERT_EQ(::pipe(held) | ::pipe(go) | ::pipe(says) | ::pipe(reasons) | ::pipe(end), 0);
    gHeldSays = held[1];
    gLetGo = go[0];
    const FileSyncCall real = SetReplaceSyncCall(HeldSync);
    const pid_t holder = StartWriter(fd, first, says[1], reasons[1], livesOn ? end[0] : -1);
    SetReplaceSyncCall(real);
    ASSERT_TRUE(Heard(says[0]));
    ASSERT_TRUE(Heard(held[0]));  // the holder is inside its write
    const auto start = std::chrono::steady_clock::now();
    const pid_t waiter = StartWriter(fd, second, says[1], reasons[1]);
    ::close(says[1]);
    ::close(reasons[1]);
    ASSERT_TRUE(Heard(says[0]));
    if (letGo) {
      // Given the time, the second writes nothing while the first holds the file.
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      EXPECT_EQ(::waitpid(waiter, nullptr, WNOHANG), 0);
      EXPECT_TRUE(ReadAllOf(fd) == first);
      ASSERT_EQ(::write(go[1], "g", 1), 1);
      EXPECT_EQ(StatusOf(waiter), 0);  // while a holder that lives on is still there
      if (livesOn) {
        const int byName = ::open(dir.Path("registry").c_str(), O_RDONLY);
        std::string why;
        EXPECT_TRUE(HoldFileForReading(byName, &why)) << why;
        ::close(byName);
        ASSERT_EQ(::write(end[1], "e", 1), 1);
      }
      EXPECT_EQ(StatusOf(holder), 0);
      EXPECT_EQ(ReadAllOf(fd), second);
    } else {
      EXPECT_EQ(StatusOf(waiter), 1);
      EXPECT_GE(std::chrono::steady_clock::now() - start,
                std::chrono::seconds(kReplaceHoldSeconds));
      EXPECT_TRUE(ReadAllOf(fd) == first);
      ASSERT_EQ(::write(go[1], "g", 1), 1);
      EXPECT_EQ(StatusOf(holder), 0);
      char reason[256] = {};
      EXPECT_GT(::read(reasons[0], reason, sizeof reason - 1), 0);
      EXPECT_EQ(std::string(reason), "another process (pid " + std::to_string(holder) +
                                         ") has held the file for more than " +
                                         std::to_string(kReplaceHoldSeconds) + " seconds");
    }
    EXPECT_EQ(Appends(fd), (flags & O_APPEND) != 0);
    for (const int e : {held[0], held[1], go[0], go[1], says[0], reasons[0], end[0], end[1], fd})
      ::close(e);
  }
  EXPECT_EQ(Entries(dir.path()), "registry ");
}

// Two threads of one run, as the end's save and a write of its loop: while the first holds the
// file inside its write, the second does not reach its own, and then goes in whole.
TEST(FileReplace, TwoThreadsOfARunWriteInTurn) {
  test::TempDir dir("veskor_replace");
  const int fd = ::open(dir.Write("registry", "old").c_str(), O_RDWR);
  NoteGivenDescriptors();
  int held[2], go[2];
  ASSERT_EQ(::pipe(held) | ::pipe(go), 0);
  gHeldSays = held[1];
  gLetGo = go[0];
  const FileSyncCall real = SetReplaceSyncCall(HeldSync);
  const std::string name = "/dev/fd/" + std::to_string(fd), first(3000, 'a'), second = "b\n";
  bool firstWritten = false, secondWritten = false;
  std::string firstReason, secondReason;
  std::thread holder([&] { firstWritten = ReplaceFileWhole(name, first, &firstReason); });
  ASSERT_TRUE(Heard(held[0]));  // the first is inside its write
  std::thread waiter([&] { secondWritten = ReplaceFileWhole(name, second, &secondReason); });
  pollfd heldAgain{held[0], POLLIN, 0};
  EXPECT_EQ(::poll(&heldAgain, 1, 300), 0) << "the second write went on inside the first";
  ASSERT_EQ(::write(go[1], "gg", 2), 2);
  holder.join();
  waiter.join();
  SetReplaceSyncCall(real);
  EXPECT_TRUE(firstWritten) << firstReason;
  EXPECT_TRUE(secondWritten) << secondReason;
  EXPECT_EQ(ReadAllOf(fd), second);
  for (const int end : {held[0], held[1], go[0], go[1], fd}) ::close(end);
}

// Where the signal of a save's cut goes (SignallingCut): to the saving thread; to the process
// while another of its threads runs (then that thread sets a handler of its own for it, in
// kProcessThenHandled); to that other thread; to the process from the kernel, a timer's; or
// a fault that the kernel raises in that other thread. Or none.
enum class SentTo {
  kSavingThread,
  kProcess,
  kOtherThread,
  kTimer,
  kFaultElsewhere,
  kProcessThenHandled,
  kNone
};
int gCutSignal = 0;
SentTo gSentTo = SentTo::kSavingThread;
pthread_t gOtherThread;
int gOrders = -1;  // the other thread's orders ('p', 'h', or a fault's signal), its answers
int gAnswers = -1;
// A byte here: the process lived on past the fault for longer than a loaded machine takes to
// run the faulting thread (test::kHeardSeconds).
int gLivedOn = -1;

// Has the other thread answer an order: a signal that it takes has been taken then, since it
// takes its signals before it reads on (one that ends or stops the process by its default
// action never lets it answer, or not before the process goes on).
bool Ordered(char order) { return ::write(gOrders, &order, 1) == 1 && test::Heard(gAnswers); }

// The cut of a save through a descriptor, with the signal sent just before it: the new text is
// in, the old one's tail not yet cut.
int SignallingCut(int fd, off_t length) {
  switch (gSentTo) {
    case SentTo::kSavingThread: ::pthread_kill(::pthread_self(), gCutSignal); break;
    case SentTo::kProcess:
    case SentTo::kProcessThenHandled:
      ::kill(::getpid(), gCutSignal);
      if (!Ordered('p') || (gSentTo == SentTo::kProcessThenHandled && !Ordered('h'))) return -1;
      break;
    case SentTo::kOtherThread:
      ::pthread_kill(gOtherThread, gCutSignal);
      if (!Ordered('p')) return -1;
      break;
    case SentTo::kTimer: {
      itimerval soon{}, left{};
      soon.it_value.tv_usec = 1000;
      if (::setitimer(ITIMER_REAL, &soon, nullptr) != 0) return -1;
      for (int waits = 0; ::getitimer(ITIMER_REAL, &left) == 0 && left.it_value.tv_usec != 0;
           ++waits)
        if (waits == 1000 || ::poll(nullptr, 0, 1) != 0) return -1;  // a second at the most
      if (!Ordered('p')) return -1;
      break;
    }
    case SentTo::kFaultElsewhere:
      if (::write(gOrders, &gCutSignal, 1) == 1 &&
          ::poll(nullptr, 0, test::kHeardSeconds * 1000) == 0 && ::write(gLivedOn, "l", 1) != 1)
        return -1;
      break;
    case SentTo::kNone: break;
  }
  return ::ftruncate(fd, length);
}

int gHandledSays = -1;
void SayHandled(int) {
  const int error = errno;
  if (::write(gHandledSays, "h", 1) != 1) ::_exit(5);
  errno = error;
}

// A handler of the program's own that ends the run.
constexpr int kEndedByHandler = 42;
void EndByHandler(int) { ::_exit(kEndedByHandler); }

// Not a handler: the action of the rows whose signal the display watch handles, ending the run
// at a sent SIGPIPE, SIGSEGV, SIGBUS or SIGABRT as the run without the watch would end.
void WatchedDisplay(int) {}

// Meets the fault that the kernel raises as `signal` (si_code above 0), in the calling thread.
void Fault(int signal) {
  volatile char* page =
      static_cast<char*>(::mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  volatile double zero = 0;
  const int empty = ::open("empty", O_RDWR | O_CREAT | O_TRUNC, 0600);
  ::unlink("empty");
  switch (signal) {
    case SIGSEGV: *page = 1; break;
    case SIGBUS:  // a page of a file that ends before it
      *static_cast<volatile char*>(::mmap(nullptr, 4096, PROT_READ, MAP_SHARED, empty, 0));
      break;
    case SIGFPE:
      ::feenableexcept(FE_DIVBYZERO);
      zero = 1 / zero;
      break;
    case SIGILL: __builtin_trap();
    case SIGTRAP: asm volatile("int3"); break;
    case SIGSYS:
      if (test::TrapCall(__NR_getppid)) ::syscall(__NR_getppid);
      break;
  }
}

const std::string kOldStore = "[Settings]\n\"WorkingDir\"=\"/home/someone/worlds\"\n";
const std::string kNewStore = "[Settings]\n\"WorkingDir\"=\"/w\"\n";

// A child's save of the store through its descriptor, the cut met by `signal` sent `to`, that
// signal's action set to `action` (SIG_DFL, SIG_IGN, or a handler) first. Its status is 0 when
// it lived on with the save done, the handler it was given (or set meanwhile) run once and
// kept, and a second save not meeting that signal again; else the number of the check that
// failed.
int SignalledSave(int signal, SentTo to, void (*action)(int)) {
  ::prctl(PR_SET_DUMPABLE, 0);  // no core of the signals that dump one
  ::setpgid(0, 0);              // a group of its own, which a stop (SIGTSTP) stops
  const int fd = ::open("st", O_RDWR);
  if (fd < 0 || ::dup2(fd, 7) != 7) return 101;  // before the pipes, which may not take 7 then
  NoteGivenDescriptors();
  int orders[2], answers[2], handled[2];
  if (::pipe(orders) != 0 || ::pipe(answers) != 0 || ::pipe(handled) != 0) return 100;
  if (action == WatchedDisplay) {
    WatchDisplayConnection();
  } else if (::signal(signal, action) == SIG_ERR) {
    return 100;
  }
  std::thread other([&] {
    char order = 0;
    for (ssize_t n; (n = ::read(orders[0], &order, 1)) != 0;) {
      // The display watch's handler does not restart a read it meets.
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) break;
      if (order == 'h') ::signal(signal, SayHandled);
      if (order != 'p' && order != 'h') Fault(order);
      if (::write(answers[1], "a", 1) != 1) ::_exit(6);
    }
  });
  gOtherThread = other.native_handle();
  gOrders = orders[1];
  gAnswers = answers[0];
  gHandledSays = handled[1];
  gCutSignal = signal;
  gSentTo = to;
  SetReplaceCutCall(SignallingCut);
  std::string reason;
  const bool saved = ReplaceFileWhole("/dev/fd/7", kNewStore, &reason);
  const bool handler = action == SayHandled || to == SentTo::kProcessThenHandled;
  if (!saved) return 1;
  if (handler && !test::Heard(handled[0])) return 2;
  gSentTo = SentTo::kNone;
  if (!ReplaceFileWhole("/dev/fd/7", kNewStore, &reason)) return 3;
  ::close(orders[1]);
  other.join();
  pollfd again{handled[0], POLLIN, 0};
  if (::poll(&again, 1, 0) != 0) return 4;
  struct sigaction now {};
  if (action != WatchedDisplay && (::sigaction(signal, nullptr, &now) != 0 ||
                                   now.sa_handler != (handler ? SayHandled : action)))
    return 5;
  return 0;
}

// A handler's signal is held only while a save is under way, and only if the system has such a
// signal: 0 and _NSIG, the numbers either side of its range, never are; SIGRTMAX, its last, is
// (ignored here, so that it ends nothing when it is sent again at the hold's end).
TEST(FileReplace, OnlyTheSystemsSignalsAreHeldForAHandler) {
  struct sigaction ignored {}, was {};
  ignored.sa_handler = SIG_IGN;
  ASSERT_EQ(::sigaction(SIGRTMAX, &ignored, &was), 0);
  EXPECT_FALSE(DeferSentSignalDuringSave(SIGRTMAX));
  {
    const SaveTurn turn;
    const SignalsDeferred held;
    EXPECT_FALSE(DeferSentSignalDuringSave(0));
    EXPECT_FALSE(DeferSentSignalDuringSave(_NSIG));
    EXPECT_TRUE(DeferSentSignalDuringSave(SIGRTMAX));
  }
  EXPECT_FALSE(DeferSentSignalDuringSave(SIGRTMAX));
  ::sigaction(SIGRTMAX, &was, nullptr);
}

// A save is named while it is under way, and no longer once it has ended; of several at once,
// the latest begun that has not ended: one begun in another thread while the first goes on, and
// the first again once that one has ended; of two that overlap without nesting, the later once
// the first has ended. Of more than kSavesNamedMax at once, those past them go unnamed, and
// their ends leave the others' names. A name of kSaveNameMax bytes is kept whole, and one a byte
// longer is cut to its first bytes then "...", as is a name copied into less room than it
// takes; with a time that it must have been under way for, only one begun that long ago is
// named. While a save is under way, its thread holds SIGTERM and SIGINT back where the process
// has a handler for them, and only then.
TEST(FileReplace, ASaveIsNamedWhileItIsUnderWay) {
  char file[kSaveNameMax + 16];  // more room than a name is kept with: its own cut shows
  const auto named = [&](std::size_t room = sizeof file,
                         std::chrono::nanoseconds heldFor = std::chrono::nanoseconds(0)) {
    const char* what = SaveUnderWayNow(file, room, heldFor);
    return what == nullptr ? std::string("none") : std::string(what) + " " + file;
  };
  EXPECT_EQ(named(), "none");
  {
    const SaveUnderWay store("/a/registry", "the settings");
    EXPECT_EQ(named(), "the settings /a/registry");
    EXPECT_EQ(named(12), "the settings /a/registry");  // its 11 bytes and the zero
    std::memset(file, 'x', sizeof file);
    EXPECT_EQ(named(11), "the settings /a/regi...");
    EXPECT_EQ(file[11], 'x');  // nothing past the room given
    EXPECT_EQ(named(4), "the settings ...");  // the least room: the cut's mark alone
    EXPECT_EQ(named(3), "none");
    std::thread([&] {
      const SaveUnderWay bookmarks("/b/bookmark.wld", "the bookmarks");
      EXPECT_EQ(named(), "the bookmarks /b/bookmark.wld");
    }).join();
    EXPECT_EQ(named(), "the settings /a/registry");  // the one begun before, named again
  }
  {
    // Asked for as long as the first has gone on (at least), a second after it began: the
    // second, begun then, is younger.
    const SaveUnderWay store("/a/registry", "the settings");
    const auto begun = std::chrono::steady_clock::now();
    EXPECT_EQ(named(sizeof file, std::chrono::seconds(60)), "none");  // not under way so long
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const SaveUnderWay bookmarks("/b/bookmark.wld", "the bookmarks");
    EXPECT_EQ(named(sizeof file, std::chrono::steady_clock::now() - begun),
              "the settings /a/registry");
    EXPECT_EQ(named(), "the bookmarks /b/bookmark.wld");
  }
  EXPECT_EQ(named(), "none");
  {
    std::binary_semaphore begun(0), firstEnded(0);
    auto first = std::make_unique<SaveUnderWay>("/a/registry", "the settings");
    std::thread later([&] {
      const SaveUnderWay bookmarks("/b/bookmark.wld", "the bookmarks");
      begun.release();
      firstEnded.acquire();
      EXPECT_EQ(named(), "the bookmarks /b/bookmark.wld");
    });
    begun.acquire();
    first.reset();
    firstEnded.release();
    later.join();
    EXPECT_EQ(named(), "none");
  }
  {
    std::vector<std::unique_ptr<SaveUnderWay>> saves;
    for (std::size_t i = 0; i <= kSavesNamedMax; ++i) {
      saves.push_back(std::make_unique<SaveUnderWay>("/s/" + std::to_string(i), "the settings"));
      EXPECT_EQ(named(), "the settings /s/" + std::to_string(std::min(i, kSavesNamedMax - 1)));
    }
    while (!saves.empty()) {
      saves.pop_back();
      EXPECT_EQ(named(), saves.empty() ? "none"
                                       : "the settings /s/" +
                                             std::to_string(std::min(saves.size(),
                                                                     kSavesNamedMax) - 1));
    }
  }
  const std::string longest = "/" + std::string(kSaveNameMax - 1, 'n');
  {
    const SaveUnderWay store(longest, "the settings");
    EXPECT_EQ(named(), "the settings " + longest);
  }
  {
    const SaveUnderWay store(longest + "x", "the settings");
    EXPECT_EQ(named(), "the settings " + longest.substr(0, kSaveNameMax - 3) + "...");
  }
  EXPECT_EQ(named(), "none");
  const auto heldBack = [] {
    sigset_t now;
    pthread_sigmask(SIG_BLOCK, nullptr, &now);
    return std::to_string(sigismember(&now, SIGTERM)) + std::to_string(sigismember(&now, SIGINT));
  };
  struct sigaction was[2] = {};
  sigaction(SIGTERM, nullptr, &was[0]);
  sigaction(SIGINT, nullptr, &was[1]);
  const struct {
    void (*term)(int);
    void (*interrupt)(int);
    std::string held;
  } actions[] = {{SIG_DFL, SIG_DFL, "00"},
                 {SIG_IGN, SIG_IGN, "00"},
                 {[](int) {}, SIG_DFL, "10"},
                 {SIG_IGN, [](int) {}, "01"}};
  for (const auto& a : actions) {
    signal(SIGTERM, a.term);
    signal(SIGINT, a.interrupt);
    {
      const SaveUnderWay store("/a/registry", "the settings");
      EXPECT_EQ(heldBack(), a.held);
    }
    EXPECT_EQ(heldBack(), "00");
  }
  sigaction(SIGTERM, &was[0], nullptr);
  sigaction(SIGINT, &was[1], nullptr);
}

// A save through a descriptor, once begun, ends whole whatever signal comes: a signal whose
// action is the default end of the process, sent just before the cut to the saving thread, to
// the process while another of its threads runs, or to that other thread, or sent by the
// kernel (a timer's), waits for the cut and then ends the process as it would have; one with a
// handler of the program's own, or ignored, is left to it, also a handler set meanwhile. A fault
// that the kernel raises in another thread ends the process at once, and a stop (SIGTSTP) stops
// it at once, the save going on when it does. A save that no signal meets leaves the process's
// signal actions and its mask as they were.
TEST(FileReplace, ASaveThroughADescriptorOnceBegunEndsWholeWhateverSignalComes) {
  test::TempDir dir("veskor_replace");
  {
    struct sigaction before[_NSIG] = {}, after[_NSIG] = {};  // the C library's own stay unread
    sigset_t maskBefore, maskAfter;
    ::pthread_sigmask(SIG_BLOCK, nullptr, &maskBefore);
    for (int signal = 1; signal <= SIGRTMAX; ++signal)
      ::sigaction(signal, nullptr, &before[signal]);
    const int fd = ::open(dir.Write("st", kOldStore).c_str(), O_RDWR);
    NoteGivenDescriptors();
    std::string reason;
    EXPECT_TRUE(ReplaceFileWhole("/dev/fd/" + std::to_string(fd), kNewStore, &reason)) << reason;
    ::close(fd);
    EXPECT_EQ(test::ReadFileText(dir.Path("st")), kNewStore);
    ::pthread_sigmask(SIG_BLOCK, nullptr, &maskAfter);
    for (int signal = 1; signal <= SIGRTMAX; ++signal) {
      ::sigaction(signal, nullptr, &after[signal]);
      EXPECT_EQ(after[signal].sa_handler, before[signal].sa_handler) << signal;
      // but SA_RESTORER, which the C library adds to each action it sets
      constexpr int kRestorer = 0x04000000;
      EXPECT_EQ(after[signal].sa_flags & ~kRestorer, before[signal].sa_flags & ~kRestorer)
          << signal;
      EXPECT_EQ(sigismember(&maskAfter, signal), sigismember(&maskBefore, signal)) << signal;
    }
  }
  const std::string uncut = kNewStore + kOldStore.substr(kNewStore.size());
  // the signal, where it goes, its action, whether the process then ends by it (else the
  // status it ends with)
  const struct {
    int signal;
    SentTo to;
    void (*action)(int);
    bool ends;
    int status = 0;
  } cases[] = {
      {SIGHUP, SentTo::kSavingThread, SIG_DFL, true},
      {SIGHUP, SentTo::kProcess, SIG_DFL, true},
      {SIGHUP, SentTo::kOtherThread, SIG_DFL, true},
      {SIGQUIT, SentTo::kProcess, SIG_DFL, true},
      {SIGUSR1, SentTo::kSavingThread, SIG_DFL, true},
      {SIGUSR2, SentTo::kOtherThread, SIG_DFL, true},
      {SIGALRM, SentTo::kProcess, SIG_DFL, true},
      {SIGALRM, SentTo::kTimer, SIG_DFL, true},  // si_code SI_KERNEL: no fault
      {SIGPIPE, SentTo::kSavingThread, SIG_DFL, true},
      {SIGTERM, SentTo::kProcess, SIG_DFL, true},  // a run whose quit signals are not watched
      {SIGINT, SentTo::kSavingThread, SIG_DFL, true},
      {SIGXCPU, SentTo::kProcess, SIG_DFL, true},
      {SIGVTALRM, SentTo::kOtherThread, SIG_DFL, true},
      {SIGSEGV, SentTo::kProcess, SIG_DFL, true},  // sent, not a fault
      {SIGBUS, SentTo::kSavingThread, SIG_DFL, true},
      {SIGABRT, SentTo::kOtherThread, SIG_DFL, true},
      {SIGRTMIN + 3, SentTo::kProcess, SIG_DFL, true},
      {SIGRTMAX, SentTo::kProcess, SIG_DFL, true},
      {SIGUSR2, SentTo::kProcess, SayHandled, false},
      {SIGHUP, SentTo::kProcess, SIG_IGN, false},
      // The program's own, ending the run: in the saving thread, it waits for the cut.
      {SIGUSR1, SentTo::kSavingThread, EndByHandler, false, kEndedByHandler},
      {SIGUSR1, SentTo::kProcessThenHandled, SIG_DFL, false},
      {SIGILL, SentTo::kFaultElsewhere, SIG_DFL, true},
      {SIGSEGV, SentTo::kFaultElsewhere, SIG_DFL, true},
      {SIGBUS, SentTo::kFaultElsewhere, SIG_DFL, true},
      {SIGFPE, SentTo::kFaultElsewhere, SIG_DFL, true},
      {SIGTRAP, SentTo::kFaultElsewhere, SIG_DFL, true},
      {SIGSYS, SentTo::kFaultElsewhere, SIG_DFL, true},
      {SIGTSTP, SentTo::kProcess, SIG_DFL, false},
      // The display watch's handler, sent from outside: it too waits for the cut.
      {SIGABRT, SentTo::kProcess, WatchedDisplay, true},
      {SIGPIPE, SentTo::kOtherThread, WatchedDisplay, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(strsignal(c.signal)) + " sent " +
                 std::to_string(static_cast<int>(c.to)));
    struct sigaction sanitizer {};
    ::sigaction(c.signal, nullptr, &sanitizer);
    if (sanitizer.sa_handler != SIG_DFL) continue;  // a sanitizer's own: left to it
    if (c.action == WatchedDisplay && std::getenv("DISPLAY") == nullptr) continue;
    dir.Write("st", kOldStore);
    int livedOn[2];
    ASSERT_EQ(::pipe(livedOn), 0);
    gLivedOn = livedOn[1];
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0)
      ::_exit(::chdir(dir.path().c_str()) == 0 ? SignalledSave(c.signal, c.to, c.action) : 102);
    ::close(livedOn[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, WUNTRACED), pid);
    if (c.signal == SIGTSTP) {  // stopped at once, before the cut; the save ends as it goes on
      EXPECT_TRUE(WIFSTOPPED(status) && WSTOPSIG(status) == SIGTSTP) << "status " << status;
      EXPECT_EQ(test::ReadFileText(dir.Path("st")), uncut);
      ::kill(pid, SIGCONT);
      ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    }
    if (c.ends) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << "status " << status;
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.status) << "status " << status;
    }
    char byte;
    EXPECT_EQ(::read(livedOn[0], &byte, 1), 0) << "the process lived on past a fault";
    ::close(livedOn[0]);
    // Ended at once by a fault, before the cut: the new text, and the old one's tail.
    EXPECT_EQ(test::ReadFileText(dir.Path("st")),
              c.to == SentTo::kFaultElsewhere ? uncut : kNewStore);
  }
  EXPECT_EQ(Entries(dir.path()), "st ");
}

ReplaceStep gSignalledStep = ReplaceStep::kWrite;

// The step call of a save by name that sends SIGHUP to the process at the chosen step.
void SignallingStep(ReplaceStep step) {
  if (step == gSignalledStep) ::kill(::getpid(), SIGHUP);
}

// A save of the store by name, met at each of its steps by a signal whose action is the default
// end of the process: the save goes on to its end, the store holds its new text whole and no
// temporary is left, and then the signal ends the process as it would have.
TEST(FileReplace, ASaveByNameMetByASignalAtAnyStepEndsWholeAndLeavesNoTemporary) {
  test::TempDir dir("veskor_replace");
  using enum ReplaceStep;
  for (const ReplaceStep step : {kWrite, kMode, kAttributes, kSync, kRename}) {
    SCOPED_TRACE(static_cast<int>(step));
    dir.Write("st", kOldStore);
    const int status = ChildStatus(dir.path(), [&] {
      gSignalledStep = step;
      SetReplaceStepCall(SignallingStep);
      std::string reason;
      return ReplaceFileWhole("st", kNewStore, &reason) ? 1 : 2;
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGHUP) << "status " << status;
    EXPECT_EQ(test::ReadFileText(dir.Path("st")), kNewStore);
    EXPECT_EQ(Entries(dir.path()), "st ");
  }
}

}  // namespace
}  // namespace veskor

// Every stat of this binary but the C library's own comes here: the look at the name that a test
// gave is followed by the move it asked for.
extern "C" int stat(const char* path, struct stat* st) noexcept {
  const bool named = !veskor::gLookedAt.empty() && veskor::gLookedAt == path;
  if (named && veskor::gMovedBeforeLook) ::rename(veskor::gTakesPlaceAfterLook.c_str(), path);
  const int result = ::fstatat(AT_FDCWD, path, st, 0);
  if (named) {
    const int error = errno;
    if (!veskor::gMovedBeforeLook) ::rename(veskor::gTakesPlaceAfterLook.c_str(), path);
    veskor::gLookedAt.clear();
    errno = error;
  }
  return result;
}

// And every fstatfs: the test's call comes after it, where one is set.
extern "C" int fstatfs(int fd, struct statfs* st) noexcept {
  const int result = static_cast<int>(::syscall(SYS_fstatfs, fd, st));
  if (void (*then)() = std::exchange(veskor::gAfterKernelsLook, nullptr)) {
    const int error = errno;
    then();
    errno = error;
  }
  return result;
}
