#include "platform/settings_store.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <iterator>
#include <string>
#include <thread>

#include "platform/file_replace.h"
#include "platform/given_descriptors.h"
#include "support/held_sync.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

constexpr const char* kKey = "Software\\Dovek software\\veskor\\Settings";

// What a lookup of (key, name) in a store text gives: "-" no key, "?" no value, else the value.
std::string Lookup(const std::string& text, std::string_view key, std::string_view name) {
  std::string value;
  switch (SettingsText(text).Read(key, name, &value)) {
    case SettingsLookup::kNoKey: return "-";
    case SettingsLookup::kNoValue: return "?";
    case SettingsLookup::kFound: break;
  }
  return value;
}

TEST(SettingsText, ReadsStringValuesAndNothingMalformed) {
  const std::string head = "[Software\\Dovek software\\veskor\\Settings]\n";
  const std::string longValue(kSettingsLineMax - 6, 'v');  // "L"="..." fills a line
  struct Case {
    std::string body;
    std::string name;
    std::string expected;
  };
  const Case cases[] = {
      {"\"XSize\"=\"1024\"\n", "XSize", "1024"},
      {"\"XSize\"=\"1024\"", "xsize", "1024"},        // no final LF; any case
      {"\"XSize\"=\"1024\"\r\n", "XSize", "1024"},    // CR LF
      {"  \"XSize\" = \"1 0\"  \n", "XSize", "1 0"},  // blanks around
      {"\"A\"=\"x\"\n\"A\"=\"y\"\n", "A", "y"},       // the later line counts
      {"@=\"default\"\n", "", "default"},
      {"\"P\"=\"C:\\\\dir\\\\\"\n", "P", "C:\\dir\\"},    // escaped backslashes
      {"\"Q\"=\"say \\\"hi\\\"\"\n", "Q", "say \"hi\""},  // escaped quotes
      {"\"E\"=\"\"\n", "E", ""},
      {"\"D\"=dword:00000400\n", "D", "?"},       // another type
      {"\"A\"=\"x\"\n\"A\"=hex:01\n", "A", "?"},  // replaced by another type
      {"\"N\"=\"a\\nb\"\n", "N", "?"},            // bad escape
      {"\"U\"=\"open\n", "U", "?"},               // unterminated
      {"\"T\"=\"x\" y\n", "T", "?"},              // text after the value
      {"\"Z\"=\"a" + std::string(1, '\0') + "b\"\n", "Z", "?"},
      {"\"B\"=\"\xff\xfe\x01\"\n", "B", "\xff\xfe\x01"},  // other bytes are text
      {"\"L\"=\"" + longValue + "\"\n", "L", longValue},
      {"\"L\"=\"" + longValue + "v\"\n", "L", "?"},  // one byte over the line limit
      {"[Other]\n\"XSize\"=\"1\"\n", "XSize", "?"},
      {"[broken\n\"XSize\"=\"7\"\n", "XSize", "7"},  // a bad header is no section
  };
  for (const Case& c : cases) EXPECT_EQ(Lookup(head + c.body, kKey, c.name), c.expected) << c.body;
  EXPECT_EQ(Lookup("\"XSize\"=\"1\"\n[Other]\n", kKey, "XSize"), "-");
  EXPECT_EQ(Lookup("[software\\DOVEK software\\veskor\\settings]\n\"a\"=\"b\"", kKey, "A"), "b");
  EXPECT_EQ(Lookup("[HKEY_CLASSES_ROOT\\.htm]\n@=\"file\"\n",
                   SettingsKeyName(SettingsRoot::kClassesRoot, ".htm"), ""),
            "file");
}

TEST(SettingsText, WritesReplaceTheValueOrJoinItsKeyAndKeepTheRest) {
  const std::string text =
      "Windows Registry Editor Version 5.00\n\n"
      "[Software\\Dovek software\\veskor\\Settings]\r\n"
      "\"XSize\"=dword:00000400\n"
      "\"YSize\"=\"600\"\n"
      "; a comment\n"
      "\"YSize\"=\"768\"\n\n"
      "[Software\\Dovek software\\veskor\\RenderLOD]\n"
      "\"Portal\"=\"0.750\"\n";
  SettingsText store(text);
  EXPECT_TRUE(store.Write(kKey, "xsize", "1280"));       // another type becomes a string
  EXPECT_TRUE(store.Write(kKey, "Dir", "C:\\a \"b\""));  // a new value, escaped
  EXPECT_TRUE(store.Write(kKey, "", "default"));
  EXPECT_TRUE(store.Write(kKey, "YSize", "700"));  // the line that counts
  EXPECT_FALSE(store.Write("Software\\Dovek software\\veskor\\Paths", "XSize", "1"));
  EXPECT_FALSE(store.Write(kKey, "YSize", "7\n68"));
  EXPECT_FALSE(store.Write(kKey, "YSize", std::string(kSettingsLineMax, 'v')));
  EXPECT_EQ(store.Text(),
            "Windows Registry Editor Version 5.00\n\n"
            "[Software\\Dovek software\\veskor\\Settings]\n"
            "\"xsize\"=\"1280\"\n"
            "\"YSize\"=\"600\"\n"
            "; a comment\n"
            "\"YSize\"=\"700\"\n"
            "\"Dir\"=\"C:\\\\a \\\"b\\\"\"\n"
            "@=\"default\"\n\n"
            "[Software\\Dovek software\\veskor\\RenderLOD]\n"
            "\"Portal\"=\"0.750\"\n");
  EXPECT_EQ(Lookup(store.Text(), kKey, "DIR"), "C:\\a \"b\"");
}

// A UTF-8 byte-order mark before the first line is none of the text: the line after it reads as
// without it, and the text written back keeps it in front. Anywhere else, the same three bytes
// are text as any other: a mark after a line end or a blank, the second of two marks, or the
// first two bytes of one make the line they start no key.
TEST(SettingsText, AByteOrderMarkBeforeTheFirstLineIsNoneOfItsTextAndIsKept) {
  const std::string mark = "\xEF\xBB\xBF";
  const std::string head = std::string("[") + kKey + "]";
  SettingsText store(mark + head + "\r\n\"XSize\"=\"640\"\n");
  EXPECT_EQ(store.lines().front().text, head);
  std::string value;
  EXPECT_EQ(store.Read(kKey, "XSize", &value), SettingsLookup::kFound);
  EXPECT_EQ(value, "640");
  EXPECT_TRUE(store.Write(kKey, "YSize", "768"));
  EXPECT_EQ(store.Text(), mark + head + "\n\"XSize\"=\"640\"\n\"YSize\"=\"768\"\n");
  EXPECT_EQ(SettingsText(mark).Text(), mark);
  EXPECT_EQ(SettingsText(mark).lines().size(), 0u);
  for (const std::string& text : {"\n" + mark + head + "\n\"XSize\"=\"1\"\n",
                                  " " + mark + head + "\n\"XSize\"=\"1\"\n",
                                  mark + mark + head + "\n\"XSize\"=\"1\"\n",
                                  mark.substr(0, 2) + head + "\n\"XSize\"=\"1\"\n"}) {
    EXPECT_EQ(Lookup(text, kKey, "XSize"), "-") << text;
    EXPECT_EQ(SettingsText(text).Text(), text) << text;
  }
}

class SettingsStoreFile : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* v : {"VESKOR_REGISTRY", "XDG_CONFIG_HOME", "HOME"}) {
      const char* value = getenv(v);
      saved_.push_back({v, value != nullptr ? value : ""});
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) setenv(name, value.c_str(), 1);
  }
  test::TempDir dir_{"veskor_store"};
  std::vector<std::pair<const char*, std::string>> saved_;
};

TEST_F(SettingsStoreFile, PathFollowsTheEnvironment) {
  setenv("VESKOR_REGISTRY", "/x/store", 1);
  setenv("XDG_CONFIG_HOME", "/config", 1);
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(SettingsStorePath(), "/x/store");
  setenv("VESKOR_REGISTRY", "", 1);
  EXPECT_EQ(SettingsStorePath(), "/config/veskor/registry");
  setenv("XDG_CONFIG_HOME", "config", 1);  // relative: no base directory, said once
  testing::internal::CaptureStderr();
  EXPECT_EQ(SettingsStorePath(), "/home/u/.config/veskor/registry");
  EXPECT_EQ(SettingsStorePath(), "/home/u/.config/veskor/registry");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "veskor: XDG_CONFIG_HOME=config is not an absolute path: it is ignored\n");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(SettingsStorePath(), "/home/u/.config/veskor/registry");
  unsetenv("HOME");
  EXPECT_EQ(SettingsStorePath(), "");
  std::string value;
  EXPECT_EQ(SettingsReadString(SettingsRoot::kCurrentUser, kKey, "XSize", &value),
            SettingsLookup::kNoKey);
  EXPECT_EQ(SettingsReadFailure(), "No such file or directory");
}

TEST_F(SettingsStoreFile, EachReadTakesTheFileAsItIsAndEachWriteReplacesIt) {
  const std::string path = dir_.Path("registry");
  setenv("VESKOR_REGISTRY", path.c_str(), 1);
  std::string value;
  EXPECT_EQ(SettingsReadString(SettingsRoot::kCurrentUser, kKey, "XSize", &value),
            SettingsLookup::kNoKey);
  EXPECT_EQ(SettingsReadFailure(), "No such file or directory");
  EXPECT_FALSE(SettingsWriteString(SettingsRoot::kCurrentUser, kKey, "XSize", "1"));
  EXPECT_EQ(SettingsWriteFailure(), "No such file or directory");
  EXPECT_FALSE(std::filesystem::exists(path));  // keys are never created
  // A FIFO is neither read nor written, nor waited on for a writer.
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  EXPECT_FALSE(SettingsWriteString(SettingsRoot::kCurrentUser, kKey, "XSize", "1"));
  EXPECT_EQ(SettingsWriteFailure(), "it is a FIFO, not a regular file");
  std::filesystem::remove(path);

  dir_.Write("registry", std::string("[") + kKey + "]\n\"XSize\"=\"640\"\n");
  chmod(path.c_str(), 0640);
  EXPECT_FALSE(SettingsWriteString(SettingsRoot::kCurrentUser, "Other", "XSize", "1"));
  EXPECT_EQ(SettingsWriteFailure(), "it has no key [Other]");
  EXPECT_EQ(SettingsReadString(SettingsRoot::kCurrentUser, kKey, "XSize", &value),
            SettingsLookup::kFound);
  EXPECT_EQ(value, "640");
  EXPECT_EQ(SettingsReadFailure(), "");
  const int input = dup(0);  // with descriptor 0 closed (`<&-`), the store opens as it
  close(0);
  EXPECT_EQ(SettingsReadString(SettingsRoot::kCurrentUser, kKey, "XSize", &value),
            SettingsLookup::kFound);
  dup2(input, 0);
  close(input);
  // Temporaries of writes killed before their rename: of the program's own form and a minute
  // old, they go with the next write; a younger one may be another writer's and stays, as does
  // every file of another name, however old.
  const auto now = std::filesystem::file_time_type::clock::now();
  const char* names[] = {"registry.backup",
                         "registry.Ab12Cd",
                         "registry.old",
                         ".registry.veskor-tmp-Q5r6S7",
                         ".registry.veskor-tmp-a1B2c",
                         ".registry.veskor-tmp-z9Y8x7",
                         ".registry.veskor-tmp-Ab-1Cd"};
  for (const char* name : names)
    std::filesystem::last_write_time(dir_.Write(name, "kept"), now - std::chrono::hours(2));
  std::filesystem::last_write_time(dir_.Path(names[5]), now - std::chrono::seconds(50));
  EXPECT_TRUE(SettingsWriteString(SettingsRoot::kCurrentUser, kKey, "XSize", "800"));
  EXPECT_EQ(SettingsWriteFailure(), "");
  EXPECT_EQ(test::ReadFileText(path), std::string("[") + kKey + "]\n\"XSize\"=\"800\"\n");
  std::string left;
  for (const char* name : names) {
    left += std::filesystem::exists(dir_.Path(name)) ? "1" : "0";
    std::filesystem::remove(dir_.Path(name));
  }
  EXPECT_EQ(left, "1110111");
  struct stat st {};
  stat(path.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(SettingsReadString(SettingsRoot::kClassesRoot, kKey, "XSize", &value),
            SettingsLookup::kNoKey);
  // Named through a descriptor the run was given (`3<> registry`, `3>> registry`): after each
  // write the file holds the store alone.
  for (const int flags : {O_RDWR, O_WRONLY | O_APPEND}) {
    const int fd = open(path.c_str(), flags);
    NoteGivenDescriptors();
    setenv("VESKOR_REGISTRY", ("/dev/fd/" + std::to_string(fd)).c_str(), 1);
    for (const char* size : {"1024", "64"}) {
      EXPECT_TRUE(SettingsWriteString(SettingsRoot::kCurrentUser, kKey, "XSize", size));
      EXPECT_EQ(test::ReadFileText(path),
                std::string("[") + kKey + "]\n\"XSize\"=\"" + size + "\"\n");
    }
    close(fd);
  }
  setenv("VESKOR_REGISTRY", path.c_str(), 1);

  dir_.Write("registry", std::string(kSettingsFileMax + 1, '\n'));  // too large: unreadable
  EXPECT_EQ(SettingsReadString(SettingsRoot::kCurrentUser, kKey, "XSize", &value),
            SettingsLookup::kNoKey);
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir_.path())) entries += e.exists();
  EXPECT_EQ(entries, 1);  // no temporary left behind
}

// A store that an editor saved with a byte-order mark: read, and written back with its mark.
TEST_F(SettingsStoreFile, AStoreWithAByteOrderMarkIsReadAndWrittenBackWithIt) {
  const std::string path = dir_.Write(
      "registry", std::string("\xEF\xBB\xBF[") + kKey + "]\r\n\"XSize\"=\"640\"\r\n");
  setenv("VESKOR_REGISTRY", path.c_str(), 1);
  std::string value;
  EXPECT_EQ(SettingsReadString(SettingsRoot::kCurrentUser, kKey, "XSize", &value),
            SettingsLookup::kFound);
  EXPECT_EQ(value, "640");
  EXPECT_TRUE(SettingsWriteString(SettingsRoot::kCurrentUser, kKey, "XSize", "800"));
  EXPECT_EQ(test::ReadFileText(path),
            std::string("\xEF\xBB\xBF[") + kKey + "]\n\"XSize\"=\"800\"\n");
}

// A store of `size` bytes whose XSize is `value`, padded by a comment.
std::string StoreOfSize(std::size_t size, const std::string& value) {
  const std::string text = std::string("[") + kKey + "]\n\"XSize\"=\"" + value + "\"\n;";
  return text + std::string(size - text.size() - 1, 'x') + "\n";
}

TEST_F(SettingsStoreFile, AWriteNeverMakesTheStoreLargerThanItCanBeReadBack) {
  const std::string path = dir_.Path("registry");
  setenv("VESKOR_REGISTRY", path.c_str(), 1);
  dir_.Write("registry", StoreOfSize(kSettingsFileMax - 1, "640"));
  // Up to the limit itself: written, and read back.
  EXPECT_TRUE(SettingsWriteString(SettingsRoot::kCurrentUser, kKey, "XSize", "6400"));
  EXPECT_EQ(std::filesystem::file_size(path), kSettingsFileMax);
  std::string value;
  EXPECT_EQ(SettingsReadString(SettingsRoot::kCurrentUser, kKey, "XSize", &value),
            SettingsLookup::kFound);
  EXPECT_EQ(value, "6400");
  // One byte past it: refused, saying why, and the file keeps its text.
  const std::string before = test::ReadFileText(path);
  EXPECT_FALSE(SettingsWriteString(SettingsRoot::kCurrentUser, kKey, "XSize", "64000"));
  EXPECT_EQ(SettingsWriteFailure(),
            "the store would be too large to read: 1048577 bytes, over its limit of 1048576");
  EXPECT_TRUE(test::ReadFileText(path) == before);
  // A write that keeps it within the limit goes in again.
  EXPECT_TRUE(SettingsWriteString(SettingsRoot::kCurrentUser, kKey, "XSize", "64"));
  EXPECT_EQ(std::filesystem::file_size(path), kSettingsFileMax - 2);
}

// HeldSync holds the store's write inside the file's hold, after its cut.
using test::gHeldSays;
using test::gLetGo;
using test::HeldSync;

// Two runs started with the same `3<> registry`: while one has its write of the store under
// way, the other's read of it waits for that write to end, so that it never takes half of it
// (and writes that back whole); a write held past kReplaceHoldSeconds makes the read fail,
// leaving no descriptor of it open, and a save that must read the store first fail with it.
TEST_F(SettingsStoreFile, AReadWaitsForAWholeWriteThatAnotherRunHasUnderWay) {
  for (const bool letGo : {true, false}) {
    SCOPED_TRACE(letGo ? "let go" : "held past the read's time");
    const std::string path = dir_.Write("registry", StoreOfSize(200, "640"));
    const int fd = open(path.c_str(), O_RDWR);
    NoteGivenDescriptors();
    setenv("VESKOR_REGISTRY", ("/dev/fd/" + std::to_string(fd)).c_str(), 1);
    int held[2], go[2];
    ASSERT_EQ(pipe(held) | pipe(go), 0);
    gHeldSays = held[1];
    gLetGo = go[0];
    const FileSyncCall real = SetReplaceSyncCall(HeldSync);
    std::fflush(nullptr);
    const pid_t writer = fork();
    if (writer == 0)
      _exit(SettingsWriteString(SettingsRoot::kCurrentUser, kKey, "XSize", "1024") ? 0 : 1);
    SetReplaceSyncCall(real);
    ASSERT_TRUE(test::Heard(held[0]));  // the other run is inside its write
    const auto descriptors = std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                           std::filesystem::directory_iterator{});
    std::atomic<bool> done{false};
    std::string value;
    SettingsLookup found = SettingsLookup::kNoValue;
    std::thread reader([&] {
      found = SettingsReadString(SettingsRoot::kCurrentUser, kKey, "XSize", &value);
      done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(done.load());
    if (!letGo) {
      reader.join();
      EXPECT_EQ(found, SettingsLookup::kNoKey);
      EXPECT_EQ(SettingsReadFailure(), "another process (pid " + std::to_string(writer) +
                                           ") has held the file for more than 3 seconds");
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                              std::filesystem::directory_iterator{}),
                descriptors);
      // A save meanwhile fails for the read it could not make, naming the holder.
      EXPECT_FALSE(SettingsWriteString(SettingsRoot::kCurrentUser, kKey, "YSize", "768"));
      EXPECT_EQ(SettingsWriteFailure(), "another process (pid " + std::to_string(writer) +
                                            ") has held the file for more than 3 seconds");
    }
    ASSERT_EQ(write(go[1], "g", 1), 1);
    if (letGo) {
      reader.join();
      EXPECT_EQ(value, "1024");
    }
    int status = -1;
    EXPECT_EQ(waitpid(writer, &status, 0), writer);
    EXPECT_EQ(status, 0);
    for (const int end : {held[0], held[1], go[0], go[1], fd}) close(end);
  }
}

// A FIFO put in the store's place after a save has read the store, before it writes it back:
// refused as the read refuses one, never written. The save's read is made to wait, the store
// open, for a lock of the file's held here, while the FIFO comes; a reader kept on the FIFO lets
// a write in rather than leave the save waiting.
TEST_F(SettingsStoreFile, AFifoThatTakesTheStoresPlaceDuringASaveIsRefusedNotWaitedOn) {
  const std::string text = std::string("[") + kKey + "]\n\"XSize\"=\"640\"\n";
  const std::string path = dir_.Write("registry", text);
  setenv("VESKOR_REGISTRY", path.c_str(), 1);
  const int held = open(path.c_str(), O_RDWR);
  struct flock lock {};
  lock.l_type = F_WRLCK;  // of the open file, which the save's own lock meets in this process too
  ASSERT_EQ(fcntl(held, F_OFD_SETLK, &lock), 0);
  bool saved = true;
  std::thread saver(
      [&] { saved = SettingsWriteString(SettingsRoot::kCurrentUser, kKey, "XSize", "800"); });
  const std::filesystem::path store = std::filesystem::canonical(path);
  const auto opened = [&] {  // by the save: a descriptor on the store besides `held`
    int count = 0;
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
      std::error_code error;
      count += std::filesystem::read_symlink(e.path(), error) == store;
    }
    return count > 1;
  };
  for (int i = 0; i < 1000 * test::kHeardSeconds && !opened(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(rename(path.c_str(), (path + ".aside").c_str()), 0);
  EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
  const int reader = open(path.c_str(), O_RDONLY | O_NONBLOCK);
  close(held);
  saver.join();
  EXPECT_FALSE(saved);
  EXPECT_EQ(SettingsWriteFailure(), "it is a FIFO, not a regular file");
  char byte;
  EXPECT_EQ(read(reader, &byte, 1), 0);  // no writer, nothing written
  EXPECT_EQ(test::ReadFileText(path + ".aside"), text);
  close(reader);
}

}  // namespace
}  // namespace veskor
