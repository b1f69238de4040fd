#include "platform/settings_store.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/file_replace.h"
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
}

TEST_F(SettingsStoreFile, EachReadTakesTheFileAsItIsAndEachWriteReplacesIt) {
  const std::string path = dir_.Path("registry");
  setenv("VESKOR_REGISTRY", path.c_str(), 1);
  std::string value;
  EXPECT_EQ(SettingsReadString(SettingsRoot::kCurrentUser, kKey, "XSize", &value),
            SettingsLookup::kNoKey);
  EXPECT_FALSE(SettingsWriteString(SettingsRoot::kCurrentUser, kKey, "XSize", "1"));
  EXPECT_EQ(SettingsWriteFailure(), "No such file or directory");
  EXPECT_FALSE(std::filesystem::exists(path));  // keys are never created

  dir_.Write("registry", std::string("[") + kKey + "]\n\"XSize\"=\"640\"\n");
  chmod(path.c_str(), 0640);
  EXPECT_FALSE(SettingsWriteString(SettingsRoot::kCurrentUser, "Other", "XSize", "1"));
  EXPECT_EQ(SettingsWriteFailure(), "it has no key [Other]");
  EXPECT_EQ(SettingsReadString(SettingsRoot::kCurrentUser, kKey, "XSize", &value),
            SettingsLookup::kFound);
  EXPECT_EQ(value, "640");
  // Temporaries of writes killed before their rename: of the program's own form and a minute
  // old, they go with the next write; a younger one may be another writer's and stays, as does
  // every file of another name, however old.
  const auto now = std::filesystem::file_time_type::clock::now();
  const char* names[] = {"registry.backup", "registry.Ab12Cd", "registry.old",
                         ".registry.veskor-tmp-Q5r6S7", ".registry.veskor-tmp-a1B2c",
                         ".registry.veskor-tmp-z9Y8x7", ".registry.veskor-tmp-Ab-1Cd"};
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

}  // namespace
}  // namespace veskor
