#include "foundation/data_file_search.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/search_dirs.h"
#include "platform/file_open.h"
#include "support/as_user.h"
#include "support/no_descriptor_left.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

namespace fs = std::filesystem;

// A tree of search directories under a fresh temporary directory, one per search index, and
// two directories to add as world directories.
class DataFileSearch : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* d : {"product", "binary", "system", "resource/Img", "resource/Snd",
                          "working", "worldA", "worldB"})
      fs::create_directories(root_ + d);
    ASSERT_TRUE(SetSearchDirs(Dir("product").c_str(), Dir("binary").c_str(),
                              Dir("system").c_str(), Dir("resource").c_str(),
                              Dir("working").c_str()));
    ExtraSearchDirsClear();
  }
  void TearDown() override { ExtraSearchDirsClear(); }

  std::string Dir(const std::string& name) const { return root_ + name; }
  void Touch(const std::string& dir, const std::string& name) const {
    std::FILE* f = std::fopen((root_ + dir + "/" + name).c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
  }

  test::TempDir tmp_{"veskor_search"};
  const std::string& root_ = tmp_.path();
};

TEST_F(DataFileSearch, SetSearchDirsEndsEveryDirectoryWithASlash) {
  EXPECT_EQ(std::string(SndDir), Dir("resource/Snd/"));
  ASSERT_TRUE(SetSearchDirs("/p/", "/b", "/s/", "/r", "/w/"));
  EXPECT_EQ(std::string(ProductDir) + BinaryDir + ResourceDir + ImgDir, "/p//b//r//r/Img/");
  // A resource directory whose "Img/" would not fit (507 characters, its slash, "Img/" and
  // the end make 513 bytes), or a missing one, changes nothing; 506 characters fit.
  // The first value refused is told by its position.
  int refused = -1;
  EXPECT_FALSE(SetSearchDirs("/p2/", "/b/", "/s/", std::string(507, 'r').c_str(), "/w/", &refused));
  EXPECT_EQ(refused, 3);
  EXPECT_FALSE(SetSearchDirs("/p2/", "/b/", nullptr, "/r/", "/w/", &refused));
  EXPECT_EQ(refused, 2);
  const std::string past(511, 'd');  // 512 characters with its '/'
  EXPECT_FALSE(SetSearchDirs("/p2/", "/b/", "/s/", "/r/", past.c_str(), &refused));
  EXPECT_EQ(refused, 4);
  EXPECT_FALSE(SetSearchDirs(past.c_str(), "/b/", "/s/", past.c_str(), past.c_str(), &refused));
  EXPECT_EQ(refused, 0);
  EXPECT_EQ(std::string(ProductDir) + ResourceDir, "/p//r/");
  ASSERT_TRUE(SetSearchDirs("/p/", "/b", "/s/", std::string(506, 'r').c_str(), "/w/"));
  EXPECT_EQ(std::string(ImgDir), std::string(506, 'r') + "/Img/");
}

TEST_F(DataFileSearch, FindsTheFirstDirectoryInSearchOrder) {
  ASSERT_TRUE(ExtraSearchDirsAdd(Dir("worldA/").c_str()));
  ASSERT_TRUE(ExtraSearchDirsAdd(Dir("worldB/").c_str()));
  const struct {
    const char* name;
    std::vector<const char*> dirs;  // where the file is
    std::uint32_t index;
  } cases[] = {
      {"work_img.png", {"working", "resource/Img"}, kSearchWorkingDir},
      {"product_only.png", {"product"}, kSearchProductDir},
      {"system_only.png", {"system"}, 0},
      {"nowhere.png", {}, 0},
      {"res_img.png", {"resource", "resource/Img"}, kSearchResourceDir},
      {"img_snd.wav", {"resource/Img", "resource/Snd"}, kSearchImgDir},
      {"snd_bin.wav", {"resource/Snd", "binary"}, kSearchSndDir},
      {"bin_product.dll", {"binary", "product"}, kSearchBinaryDir},
      {"both.png", {"worldA", "worldB"}, kSearchFirstExtraDir + 1},  // the later added
      {"a_and_working.png", {"worldA", "working"}, kSearchFirstExtraDir},
  };
  for (const auto& c : cases)
    for (const char* dir : c.dirs) Touch(dir, c.name);
  for (const auto& c : cases) EXPECT_EQ(FindDataFile(c.name), c.index) << c.name;
  EXPECT_EQ(FindDataFile(nullptr), 0u);
  char path[kSearchDirBytes];
  ASSERT_TRUE(BuildDirPath(FindDataFile("both.png"), "both.png", path));
  EXPECT_EQ(std::string(path), Dir("worldB/both.png"));
  // The list a missing file's message names, in the same order; the current directory as "./".
  ASSERT_TRUE(ExtraSearchDirsAdd(""));
  std::string list = "./";
  for (const char* d : {"worldB", "worldA", "working", "resource", "resource/Img", "resource/Snd",
                        "binary", "product"})
    list += ", " + Dir(d) + "/";
  EXPECT_EQ(SearchedDirectoryList(), list);
}

TEST_F(DataFileSearch, OnlyRegularFilesCount) {
  fs::create_directories(Dir("working/sub"));
  Touch("working", "sub/inner.png");
  Touch("binary", "sub");
  // A relative name is appended as it stands; a directory of the same name is passed over.
  EXPECT_EQ(FindDataFile("sub/inner.png"), kSearchWorkingDir);
  EXPECT_EQ(FindDataFile("sub"), kSearchBinaryDir);
  EXPECT_EQ(FindDataFile(""), 0u);  // every directory itself
  EXPECT_EQ(FindDataFile("Sub"), kSearchBinaryDir);  // the working one is a directory
}

// The first directory that holds the name ends the search: a file there that does not open
// (a FIFO, found by its name, by another spelling, through a link, or put in the file's place
// just before the open; a device) gives no directory and says why, and the later directory's
// file of the same name is not taken in its stead. Nor is a directory that cannot be listed for
// the name's other spellings passed over. One that the user may pass through but not list
// (another user's, mode 0711) holds no other spelling: the search goes on past it.
int SwappedForAFifo(const char* path, int flags, mode_t mode) {
  ::unlink(path);
  return ::mkfifo(path, 0600) == 0 ? ::open(path, flags, mode) : -1;
}

// In a child, as a user, in the tree's root: each row of the search that fails sets a bit.
int UnlistedDirectoryChecks() {
  if (!SetSearchDirs("product/", "binary/", "system/", "resource/", "working/")) return 128;
  const struct {
    const char* name;
    std::uint32_t index;
  } cases[] = {
      {"exact.png", kSearchWorkingDir},
      {"img.png", kSearchProductDir},  // product's "Img.png"
      {"FOUND.png", kSearchBinaryDir},
      {"nowhere.png", 0},
  };
  int failed = 0;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    DataFileFailure failure{"stale", "stale"};
    const std::uint32_t index = FindDataFile(cases[i].name, &failure);
    const std::string said =
        index != 0 ? failure.path + failure.reason : DataFileFailureText(cases[i].name, failure);
    const std::string expected = cases[i].index != 0
                                     ? ""
                                     : std::string("Cannot find file \"") + cases[i].name +
                                           "\" in the search directories: working/, resource/, "
                                           "resource/Img/, resource/Snd/, binary/, product/";
    if (index != cases[i].index || said != expected) failed |= 1 << i;
  }
  return failed;
}

TEST_F(DataFileSearch, AFileThatDoesNotOpenEndsTheSearchWithItsReason) {
  ASSERT_EQ(::mkfifo(Dir("working/song.wav").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(Dir("resource/Pipe.wav").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("song.wav", Dir("working/link.wav").c_str()), 0);
  ASSERT_EQ(::symlink("/dev/null", Dir("working/null.png").c_str()), 0);
  for (const char* name : {"song.wav", "pipe.wav", "link.wav", "null.png", "swapped.png"})
    Touch("binary", name);
  Touch("working", "swapped.png");
  const std::string fifo = "\": it is a FIFO, not a regular file";
  const struct {
    const char* name;
    std::string text;  // DataFileFailureText
    FileOpenCall call = nullptr;  // in place of open(2)
  } cases[] = {
      {"song.wav", "Cannot open file \"" + Dir("working/song.wav") + fifo},
      {"pipe.wav", "Cannot open file \"" + Dir("resource/Pipe.wav") + fifo},
      {"link.wav", "Cannot open file \"" + Dir("working/link.wav") + fifo},
      {"null.png",
       "Cannot open file \"" + Dir("working/null.png") + "\": it is a device, not a regular file"},
      {"swapped.png", "Cannot open file \"" + Dir("working/swapped.png") + fifo, SwappedForAFifo},
      {"none.wav",
       "Cannot find file \"none.wav\" in the search directories: " + SearchedDirectoryList()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const FileOpenCall real = SetFileOpenCall(c.call);
    DataFileFailure failure{"stale", "stale"};
    EXPECT_EQ(FindDataFile(c.name, &failure), 0u);
    SetFileOpenCall(real);
    EXPECT_EQ(DataFileFailureText(c.name, failure), c.text);
  }
  Touch("binary", "found.png");
  DataFileFailure failure{"stale", "stale"};
  EXPECT_EQ(FindDataFile("found.png", &failure), kSearchBinaryDir);
  EXPECT_EQ(failure.path + failure.reason, "");

  // A search directory that is a file (a store whose WorkingDir or ResourceDir names one) holds
  // nothing: the search goes on past it, to the file in a later directory, by its own name or
  // another spelling.
  Touch("", "plain");
  ASSERT_TRUE(SetSearchDirs(Dir("product").c_str(), Dir("binary").c_str(), Dir("system").c_str(),
                            Dir("plain").c_str(), Dir("plain").c_str()));
  for (const char* name : {"found.png", "FOUND.png"}) {
    SCOPED_TRACE(name);
    DataFileFailure past{"stale", "stale"};
    EXPECT_EQ(FindDataFile(name, &past), kSearchBinaryDir);
    EXPECT_EQ(past.path + past.reason, "");
  }
  ASSERT_TRUE(SetSearchDirs(Dir("product").c_str(), Dir("binary").c_str(), Dir("system").c_str(),
                            Dir("resource").c_str(), Dir("working").c_str()));

  // With no descriptor left, the working directory cannot be listed for "img.png": product's
  // "Img.png" is not taken; nor does a file found by its exact name open.
  Touch("product", "Img.png");
  Touch("working", "exact.png");
  DataFileFailure listing, opening;
  {
    const test::NoDescriptorLeft limited;
    EXPECT_EQ(FindDataFile("img.png", &listing) + FindDataFile("exact.png", &opening), 0u);
  }
  EXPECT_EQ(DataFileFailureText("img.png", listing),
            "Cannot open file \"" + Dir("working/img.png") + "\": Too many open files");
  EXPECT_EQ(DataFileFailureText("exact.png", opening),
            "Cannot open file \"" + Dir("working/exact.png") + "\": Too many open files");

  // As a user (root, whom no mode stops, would list it), with the working directory one that
  // user may pass through but not list: a file there by its exact name is found; another
  // spelling is looked for in the later directories, and a name in none is missing.
  for (const char* d : {"product", "binary", "system", "resource", "resource/Img", "resource/Snd"})
    ASSERT_EQ(::chmod(Dir(d).c_str(), 0755), 0) << d;
  for (const char* f : {"working/exact.png", "product/Img.png", "binary/found.png"})
    ASSERT_EQ(::chmod(Dir(f).c_str(), 0644), 0) << f;
  ASSERT_EQ(::chmod(Dir("working").c_str(), 0711), 0);
  EXPECT_EQ(test::RunAsUser(root_, UnlistedDirectoryChecks), 0)
      << "the rows that failed, a bit each";
  ASSERT_EQ(::chmod(Dir("working").c_str(), 0755), 0);
}

TEST_F(DataFileSearch, WrittenNamesMatchExactlyFirstThenIgnoringCase) {
  fs::create_directories(Dir("working/Img"));
  Touch("working", "Img/Rock.PNG");
  Touch("working", "A.png");
  Touch("working", "a.png");
  Touch("resource", "b.png");
  const struct {
    const char* name;
    std::uint32_t index;
    const char* path;  // below the temporary root
  } cases[] = {
      {"Img/Rock.PNG", kSearchWorkingDir, "working/Img/Rock.PNG"},
      {"img\\rock.png", kSearchWorkingDir, "working/Img/Rock.PNG"},
      {"IMG/./ROCK.png", kSearchWorkingDir, "working/Img/Rock.PNG"},
      {"a.png", kSearchWorkingDir, "working/a.png"},
      {"A.PNG", kSearchWorkingDir, "working/A.png"},  // both match: the first sorted
      {"B.png", kSearchResourceDir, "resource/b.png"},
      {"img", 0, nullptr},            // only a directory has that name
      {"Img/Rock.PN", 0, nullptr},
      {"img\\", 0, nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindDataFile(c.name), c.index) << c.name;
    char path[kSearchDirBytes];
    if (c.index != 0) {
      ASSERT_TRUE(BuildDirPath(c.index, c.name, path));
      EXPECT_EQ(std::string(path), Dir(c.path)) << c.name;
    }
  }
  // A name that is nowhere is still joined, with '\\' read as '/'.
  char path[kSearchDirBytes];
  ASSERT_TRUE(BuildDirPath(kSearchWorkingDir, "New\\x.png", path));
  EXPECT_EQ(std::string(path), Dir("working/New/x.png"));
}

TEST_F(DataFileSearch, PathsLongerThanTheBufferAreNotFound) {
  // working/ + name of exactly 511 characters fits; one more does not.
  const std::size_t room = kSearchDirBytes - 1 - std::strlen(WorkingDir);
  std::string dir = "long";
  while (dir.size() + 200 < room) dir += "/" + std::string(200 - 1, 'd');
  fs::create_directories(Dir("working/" + dir));
  const std::string fits = dir + "/" + std::string(room - dir.size() - 1, 'f');
  const std::string over = fits + "f";
  ASSERT_EQ(std::strlen(WorkingDir) + fits.size(), kSearchDirBytes - 1);
  Touch("working", fits);
  Touch("working", over);
  EXPECT_EQ(FindDataFile(fits.c_str()), kSearchWorkingDir);
  EXPECT_EQ(FindDataFile(over.c_str()), 0u);
  char path[kSearchDirBytes];
  EXPECT_FALSE(BuildDirPath(kSearchWorkingDir, over.c_str(), path));
  EXPECT_STREQ(path, "");
}

TEST_F(DataFileSearch, SearchPathMapsIndicesAndFallsBackToTheProductDir) {
  ASSERT_TRUE(ExtraSearchDirsAdd("/worlds/a/"));
  ASSERT_TRUE(ExtraSearchDirsAdd("/worlds/b/"));
  const std::pair<std::uint32_t, std::string> table[] = {
      {1, SystemDir}, {2, ProductDir}, {3, BinaryDir},     {4, ResourceDir},
      {5, ImgDir},    {6, SndDir},     {7, WorkingDir},    {8, "/worlds/a/"},
      {9, "/worlds/b/"}, {0, ProductDir}, {10, ProductDir}, {0xFFFFFFFF, ProductDir},
  };
  for (const auto& [index, dir] : table) EXPECT_EQ(SearchPath(index), dir) << index;
}

TEST_F(DataFileSearch, ExtraDirectoriesAreAddedOnceUpToTheCapacity) {
  for (std::uint32_t i = 0; i < kExtraSearchDirCapacity; ++i)
    ASSERT_TRUE(ExtraSearchDirsAdd(("/w/" + std::to_string(i) + "/").c_str()));
  EXPECT_TRUE(ExtraSearchDirsAdd("/w/5/"));  // already there
  EXPECT_FALSE(ExtraSearchDirsAdd("/w/67/"));
  EXPECT_FALSE(ExtraSearchDirsAdd(std::string(kSearchDirBytes, 'x').c_str()));
  EXPECT_EQ(ExtraSearchDirs.count, kExtraSearchDirCapacity);
  EXPECT_STREQ(SearchPath(kSearchFirstExtraDir + 66), "/w/66/");
  ExtraSearchDirsClear();
  EXPECT_EQ(SearchPath(kSearchFirstExtraDir), ProductDir);
}

}  // namespace
}  // namespace veskor
