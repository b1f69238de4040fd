// The bookmarks' file: its text, whatever the locale; nothing written without bookmarks; a file
// that cannot be written leaves the old one whole and says so.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "app/camera_bookmarks.h"
#include "compile_driver.h"
#include "foundation/search_dirs.h"
#include "language/world.h"
#include "platform/file_replace.h"
#include "platform/given_descriptors.h"
#include "support/message_capture.h"
#include "support/own_file_system.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

class CameraBookmarksTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetSearchDirs("", dir_.path().c_str(), "", "", ""));
    gWorld.snapshotCount = 0;
  }
  void TearDown() override { gWorld.snapshotCount = 0; }
  void Add(float x, float y, float z, float roll, float focal) {
    Camera& c = gWorld.snapshots[gWorld.snapshotCount++];
    c.position[0] = x, c.position[1] = y, c.position[2] = z;
    c.direction[0] = 0, c.direction[1] = -0.6f, c.direction[2] = 0.8f;
    c.depth = 5000.0f;
    c.roll = roll;
    c.focalAngle = focal;
  }
  std::string File() const { return test::ReadFileText(dir_.Path("bookmark.wld")); }
  std::string Entries() const {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir_.path()))
      names.insert(e.path().string().substr(dir_.path().size()));
    std::string all;
    for (const std::string& name : names) all += name + " ";
    return all;
  }
  test::TempDir dir_{"veskor_bookmarks"};
};

TEST_F(CameraBookmarksTest, EveryBookmarkIsACameraBlockWithTwoDecimals) {
  // Under a locale with a decimal comma when one can be made here.
  test::TempDir locales{"veskor_locale"};
  setenv("LOCPATH", locales.path().c_str(), 1);
  const bool comma = std::system(("localedef -i de_DE -f UTF-8 " + locales.Path("de_DE.UTF-8") +
                                  " >/dev/null 2>&1")
                                     .c_str()) == 0 &&
                     setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
  Add(1, 2, 3, 0.5f, 45);
  Add(-10.5f, 0.126f, 7, 0, 80);
  Add(0, 0, 1e6f, -1, 1);
  EXPECT_EQ(WriteCameraBookmarks(), 1u);
  setlocale(LC_ALL, "C");
  unsetenv("LOCPATH");
  const char* kDirection = "  direction ( [0.00 -0.60 0.80] )\n  depth ( 5000.00 )\n";
  EXPECT_EQ(File(), std::string("Camera CameraBookMark0\n{\n  position ( [1.00 2.00 3.00] )\n") +
                        kDirection + "  rollAngle ( 28.65 )\n  focalAngle ( 45.00 )\n}\n\n" +
                        "Camera CameraBookMark1\n{\n  position ( [-10.50 0.13 7.00] )\n" +
                        kDirection + "  rollAngle ( 0.00 )\n  focalAngle ( 80.00 )\n}\n\n" +
                        "Camera CameraBookMark2\n{\n  position ( [0.00 0.00 1000000.00] )\n" +
                        kDirection + "  rollAngle ( -57.30 )\n  focalAngle ( 1.00 )\n}\n\n")
      << (comma ? "decimal comma" : "C locale only");
  EXPECT_EQ(Entries(), "bookmark.wld ");  // no temporary left
}

TEST_F(CameraBookmarksTest, AFileIsWrittenOnlyWhenItCanBeWholly) {
  dir_.Write("bookmark.wld", "old");
  EXPECT_EQ(WriteCameraBookmarks(), 1u);  // no bookmark: the old file stays
  EXPECT_EQ(File(), "old");
  Add(1, 2, 3, 0, 45);
  // A folder of the user's where the file goes: it and what it holds stay, the reason is the
  // rename's, and no temporary is left.
  std::filesystem::remove(dir_.Path("bookmark.wld"));
  std::filesystem::create_directory(dir_.Path("bookmark.wld"));
  dir_.Write("bookmark.wld/keep", "mine");
  {
    test::MessageCapture capture;
    EXPECT_EQ(WriteCameraBookmarks(), 0u);
    EXPECT_EQ(capture.Text(), "Warning : Shutdown [exclamation] Bookmarks not saved !\n\nCannot "
                              "write " + dir_.Path("bookmark.wld") + " :\nIs a directory\n");
  }
  EXPECT_EQ(Entries(), "bookmark.wld bookmark.wld/keep ");
  // A FIFO there, as the window closes: refused at once as what it is, never written. (A reader
  // is kept on it, so that a write would go in rather than wait.)
  std::filesystem::remove_all(dir_.Path("bookmark.wld"));
  ASSERT_EQ(mkfifo(dir_.Path("bookmark.wld").c_str(), 0600), 0);
  const int reader = open(dir_.Path("bookmark.wld").c_str(), O_RDONLY | O_NONBLOCK);
  {
    test::MessageCapture capture;
    EXPECT_EQ(WriteCameraBookmarks(), 0u);
    EXPECT_EQ(capture.Text(),
              "Warning : Shutdown [exclamation] Bookmarks not saved !\n\nCannot write " +
                  dir_.Path("bookmark.wld") + " :\nit is a FIFO, not a regular file\n");
  }
  char byte;
  EXPECT_EQ(read(reader, &byte, 1), 0);  // no writer, nothing written
  close(reader);
  // Files of the user's beside it, whatever their names, are never written nor followed.
  std::filesystem::remove_all(dir_.Path("bookmark.wld"));
  dir_.Write("mine", "mine");
  std::filesystem::create_symlink(dir_.Path("mine"), dir_.Path("bookmark.wld.tmp"));
  const mode_t mask = umask(027);
  EXPECT_EQ(WriteCameraBookmarks(), 1u);
  umask(mask);
  EXPECT_EQ(File().substr(0, 23), "Camera CameraBookMark0\n");
  EXPECT_EQ(test::ReadFileText(dir_.Path("mine")), "mine");
  EXPECT_EQ(Entries(), "bookmark.wld bookmark.wld.tmp mine ");
  struct stat st {};
  stat(dir_.Path("bookmark.wld").c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // a new file: 0666 less the umask
  // A link of the user's, to a file kept elsewhere: the file gets the bookmarks, the link stays.
  std::filesystem::remove(dir_.Path("bookmark.wld"));
  std::filesystem::create_symlink("mine", dir_.Path("bookmark.wld"));
  EXPECT_EQ(WriteCameraBookmarks(), 1u);
  EXPECT_TRUE(std::filesystem::is_symlink(dir_.Path("bookmark.wld")));
  EXPECT_EQ(test::ReadFileText(dir_.Path("mine")).substr(0, 23), "Camera CameraBookMark0\n");
  EXPECT_EQ(Entries(), "bookmark.wld bookmark.wld.tmp mine ");
}

// On a 64 KiB tmpfs, bookmarks that a link sends through a descriptor the run was given, in
// each mode (`7<>`, `7>`, `7>>`), over a file that fills a page, once the disk is full: the
// longer text is not saved, the Warning says why, and the file keeps its text to the last
// byte. The number of the first check that fails is the status.
int BookmarksFullDiskChecks() {
  const std::string old = std::string(4092, 'o') + "\n";
  if (::symlink("/dev/fd/7", "bookmark.wld") != 0) return 100;  // BinaryDir is the folder
  gWorld.snapshotCount = 0;
  for (int i = 0; i < 30; ++i) {  // more than a page of text
    Camera& c = gWorld.snapshots[gWorld.snapshotCount++];
    c = Camera{};
    c.position[0] = static_cast<float>(i);
  }
  int check = 0;
  for (const int flags : {O_RDWR, O_WRONLY | O_TRUNC, O_WRONLY | O_APPEND}) {
    const int fd = ::open("file", flags | O_CREAT, 0644);
    if (fd < 0 || ::write(fd, old.data(), old.size()) != static_cast<ssize_t>(old.size()) ||
        ::dup2(fd, 7) != 7)
      return 101;
    NoteGivenDescriptors();
    const int fill = ::open("fill", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string block(4096, 'f');
    while (::write(fill, block.data(), block.size()) > 0) {
    }
    ::close(fill);
    {
      test::MessageCapture capture;
      if (++check, WriteCameraBookmarks() != 0) return check;
      if (++check, capture.Text() !=
                       "Warning : Shutdown [exclamation] Bookmarks not saved !\n\n"
                       "Cannot write " +
                           CameraBookmarksPath() + " :\nNo space left on device\n")
        return check;
    }
    if (++check, test::ReadFileText("file") != old) return check;
    ::unlink("fill");
    if (++check, WriteCameraBookmarks() != 1 ||
                     test::ReadFileText("file").substr(0, 23) != "Camera CameraBookMark0\n")
      return check;
    ::close(7);
    ::close(fd);
    ::unlink("file");
  }
  return 0;
}

TEST_F(CameraBookmarksTest, AFullDiskLeavesBookmarksWrittenThroughADescriptorAsTheyWere) {
  const int status =
      test::RunOnFileSystemOfItsOwn(dir_.path(), "tmpfs", "size=64k", BookmarksFullDiskChecks);
  if (status == test::kNoFileSystemOfItsOwn)
    GTEST_SKIP() << "no small disk of the test's own: not root";
  EXPECT_EQ(status, 0) << "the first check that failed";
}

TEST_F(CameraBookmarksTest, TheFileIsAWorldThatGivesBackTheSameCameras) {
  Add(1.5f, -2.25f, 300, 0.5f, 45);
  Add(-10.5f, 0.126f, 7, -1.2f, 80);
  Add(0, 0, 12345.67f, 0, 1);
  gWorld.snapshots[1].direction[0] = 0.36f, gWorld.snapshots[1].direction[1] = 0.48f;
  gWorld.snapshots[2].depth = 12000;
  Camera saved[3];
  for (int i = 0; i < 3; ++i) saved[i] = gWorld.snapshots[i];
  ASSERT_EQ(WriteCameraBookmarks(), 1u);
  const test::CompileOutcome outcome = test::RunCompileSession(dir_.Path("bookmark.wld"));
  ASSERT_EQ(outcome.result, 1) << outcome.status;
  EXPECT_EQ(gWorld.snapshotCount, 0u);  // a compile empties the bookmarks
  ASSERT_EQ(gWorld.cameraCount, 3u);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const Camera& c = gWorld.cameras[i];
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(c.position[k], saved[i].position[k], 0.005f);
      EXPECT_NEAR(c.direction[k], saved[i].direction[k], 0.005f);
    }
    EXPECT_NEAR(c.depth, saved[i].depth, 0.005f);
    EXPECT_NEAR(c.roll, saved[i].roll, 0.005f);
    EXPECT_NEAR(c.focalAngle, saved[i].focalAngle, 0.005f);
  }
}

}  // namespace
}  // namespace veskor
