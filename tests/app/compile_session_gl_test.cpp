// The compile session on worlds written into a temporary directory, with the session panels
// sized as the main interface sizes them: which file each form of command line opens, the
// open-file dialog (answered headless), what the header and the log show, the progress panel's
// world name, and what a success or a failure leaves of the previous world.
#include "app/compile_session.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/main_interface.h"
#include "app/main_plane.h"
#include "app/session_status.h"
#include "app/settings.h"
#include "app/welcome_screen.h"
#include "environment/environment_params.h"
#include "foundation/search_dirs.h"
#include "foundation/session_log.h"
#include "language/fx_registry.h"
#include "language/scene_parser.h"
#include "session_panels.h"
#include "shell_test_support.h"
#include "support/gl_test_fixture.h"
#include "support/message_capture.h"

namespace veskor {
namespace {

const std::string kBegin = "> begin 'parse' session";

std::string ParseFile(const std::string& name) { return "      parse file <\\%" + name + ">"; }

// The log of a session that compiled the root file `name`.
// The session log of a session that reset the language layer: the fx table's listing, a row
// per operation ("[overloads   flag]\t..."), then the descriptor lists, ending "\n\n".
void ExpectFxListing(const std::string& log) {
  std::size_t rows = 0, at = 0;
  for (std::size_t end; (end = log.find('\n', at)) != std::string::npos; at = end + 1)
    if (log[at] == '[' && log.substr(at, end - at).find("]\t[") != std::string::npos) ++rows;
  EXPECT_EQ(rows, gFxRegistry.operations.count);
  EXPECT_GT(rows, 20u);
  EXPECT_EQ(log.substr(log.size() - 2), "\n\n");
}

std::vector<std::string> Compiled(const std::string& name) {
  return {kBegin, ParseFile(name), "> end 'parse' session", "> begin 'compile' session",
          "> end 'compile' session"};
}

class CompileSessionTest : public test::GlTest {
 protected:
  void SetUp() override {
    test::GlTest::SetUp();
    store_.Write();
    std::filesystem::create_directories(dir_.Path("binary"));
    std::filesystem::create_directories(dir_.Path("sub"));
    ASSERT_TRUE(SetSearchDirs(dir_.Path("product").c_str(), dir_.Path("binary").c_str(), "",
                              "", dir_.Path("work").c_str()));
    test::ConfigureSessionPanels();
    HidePlane(StatusPanel);
    gSessionPorts = DefaultShellPorts();
    gSessionPorts.swapBuffers = [](MainPlane&) { ++swaps_; };
    swaps_ = 0;
    FullScreenMode = 0;
    WindowedWidth = 300;  // room for the scene below the menu bar's 112 rows
    WindowedHeight = 400;
    CompileRequest = WorldReady = 1;
    WorldPathTooLong = 0;
    unsetenv("VESKOR_OPEN_FILE");
    cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    dir_.Write("w.wld", "Info { title(\"Hills\") author(\"Ann\") date(\"2003\") }\n");
  }
  void TearDown() override {
    std::filesystem::current_path(cwd_);
    SessionLogClose();
    test::GlTest::TearDown();
  }

  void ExpectPanels(const std::vector<std::string>& log, const std::string& status) {
    EXPECT_EQ(test::Differing(test::ViewImage(StatusText), test::ExpectedLog(log)), 0u)
        << log.back();
    EXPECT_EQ(test::Differing(test::ViewImage(StatusPanel),
                              test::ExpectedHeader({"\\bcompile"}, status)),
              0u)
        << status;
    if (!status.empty()) {
      EXPECT_EQ(StatusPanel.blink, 1u) << status;
    }
    EXPECT_EQ(StatusPanel.hidden, 0u);
  }

  static inline int swaps_ = 0;  // the session screen, shown once the world is being read
  test::TempDir dir_{"veskor_compile"};
  test::TestStore store_{dir_};
  std::filesystem::path cwd_;
};

TEST_F(CompileSessionTest, EachCommandLineFormOpensItsFile) {
  dir_.Write("sub/v.wld", "// nothing but a comment\n");
  ASSERT_EQ(mkfifo(dir_.Path("fifo.wld").c_str(), 0600), 0);
  const std::string d = dir_.path();
  const std::string longName(300, 'n');
  // Paths that the file system takes: quotes and '\' their names' own, a directory 333 bytes
  // down in names of 100 at most, and names of 255 bytes, each there.
  const std::string quoted = "q\"x\\/", odd = "a\"b\\c.wld", longest(255, 'n'),
                    longestName = std::string(251, 'w') + ".wld";
  std::string deep = d;
  while (deep.size() < 333) deep += std::string(std::min(100ul, 332 - deep.size()), 'd') + "/";
  for (const std::string& world : {quoted + "w.wld", odd, deep.substr(d.size()) + "w.wld",
                                   longest + "/w.wld", longestName}) {
    std::filesystem::create_directories(std::filesystem::path(d + world).parent_path());
    dir_.Write(world, "// nothing but a comment\n");
  }
  const std::string tooLong = "      the world path is too long: ";
  struct Case {
    std::string commandLine;
    std::uint32_t tooLong;
    std::uint32_t result;
    std::vector<std::string> log;
    std::string status;
    std::string searchDir;  // the one search directory added
  };
  const Case cases[] = {
      {"\"" + d + "w.wld\"", 0, 1, Compiled("w.wld"), "", d},
      {"w.wld", 0, 1, Compiled("w.wld"), "", ""},
      {"\"" + d + "w.wld\" -fast", 0, 1, Compiled("w.wld"), "", d},
      {"sub/v.wld", 0, 1, Compiled("v.wld"), "", "sub/"},
      {d + "none.wld", 0, 0, {kBegin, ParseFile("none.wld")}, "can not open file", ""},
      // A world that is there and does not open says why.
      {d + "fifo.wld", 0, 0,
       {kBegin, ParseFile("fifo.wld"),
        "      cannot open \\%fifo.wld: it is a FIFO, not a regular file"},
       "can not open file", ""},
      {"", 512, 0,
       {kBegin, "      the command line is too long: 512 bytes, where a world path has at "
                "most 511"},
       "can not open file", ""},
      {"", 70000, 0,
       {kBegin, "      the command line is too long: 70000 bytes, where a world path has at "
                "most 511"},
       "can not open file", ""},
      {d + longName + ".wld", 0, 0,
       {kBegin, tooLong + "its file name has 304 bytes, where a name has at most 255: \\%" +
                    longName + ".wld"},
       "can not open file", ""},
      {d + quoted + "w.wld", 0, 1, Compiled("w.wld"), "", d + quoted},
      {d + odd, 0, 1, Compiled(odd), "", d},
      {"\"" + d + odd + "\"", 0, 0, {kBegin, ParseFile("a")}, "can not open file", ""},
      {deep + "w.wld", 0, 1, Compiled("w.wld"), "", deep},
      {d + longest + "/w.wld", 0, 1, Compiled("w.wld"), "", d + longest + "/"},
      {d + longestName, 0, 1, Compiled(longestName), "", d},
      {d + longest + "n/w.wld", 0, 0,
       {kBegin, tooLong + "a directory name has 256 bytes, where a name has at most 255: \\%" +
                    longest + "n"},
       "can not open file", ""},
  };
  for (const Case& c : cases) {
    CompileRequest = 1;
    WorldPathTooLong = c.tooLong;
    ExtraSearchDirsClear();
    swaps_ = 0;
    EXPECT_EQ(CompileSession(c.commandLine.c_str()), c.result) << c.commandLine;
    EXPECT_EQ(swaps_, int(c.result)) << c.commandLine;
    EXPECT_EQ(CompileRequest, c.result) << c.commandLine;  // the caller clears it on success
    ExpectPanels(c.log, c.status);
    EXPECT_EQ(ExtraSearchDirs.count, c.result);
    if (c.result == 1) {
      EXPECT_STREQ(ExtraSearchDirs.dirs[0], c.searchDir.c_str());
    }
    EXPECT_EQ(gSceneParser.depth, 0u);
    EXPECT_STREQ(gSceneParser.currentDirectory, "");
  }
}

TEST_F(CompileSessionTest, TheDialogsChoiceOrItsCancel) {
  const std::string d = dir_.path();
  struct Case {
    const char* answer;  // null: the dialog is cancelled
    std::uint32_t result;
    std::vector<std::string> log;
    std::string status;
    std::string sessionLog;
  };
  const Case cases[] = {
      {nullptr, 0, {kBegin}, "compilation aborted", "file open error"},
      {"w.wld", 1, Compiled("w.wld"), "", "listing"},
      {"none.wld", 0, {kBegin, ParseFile("none.wld")}, "compilation aborted", ""},
  };
  for (const Case& c : cases) {
    if (c.answer != nullptr) setenv("VESKOR_OPEN_FILE", (d + c.answer).c_str(), 1);
    CompileRequest = WorldReady = 1;
    EXPECT_EQ(CompileSession(""), c.result);
    EXPECT_EQ(CompileRequest, c.result);
    EXPECT_EQ(WorldReady, 1u);  // nothing of the previous world was touched
    ExpectPanels(c.log, c.status);
    // A failed session leaves the log open; the next session's opening closes it.
    EXPECT_EQ(LogStream().file != nullptr, c.result == 0);
    SessionLogClose();
    const std::string log = test::ReadFileText(d + "binary/session.log");
    if (c.sessionLog == "listing") {
      EXPECT_EQ(log.rfind("Skin textures: ", 0), 0u) << log.substr(0, 80);
      ExpectFxListing(log);
    } else {
      EXPECT_EQ(log, c.sessionLog);
    }
  }
}

TEST_F(CompileSessionTest, ParseErrorsShowTheirLocatedTextAndDropTheOldWorld) {
  // A world including files from more directories than the search table holds.
  std::string many;
  for (std::uint32_t i = 0; i <= kExtraSearchDirCapacity; ++i) {
    const std::string sub = "d" + std::to_string(i);
    std::filesystem::create_directories(dir_.Path(sub));
    dir_.Write(sub + "/i.wld", "\n");
    many += "#include \"" + sub + "/i.wld\"\n";
  }
  dir_.Write("many.wld", many);
  dir_.Write("bad.wld", "Info { title(\"x\") }\n// two\nCamera c { zoom(2) }\n");
  // The path's "\n" is two characters of the path, not a line break of the status.
  dir_.Write("shared.wld", "Info { title(\"x\") }\n#include \"shared\\no_such_file.wld\"\n");
  struct Case {
    const char* world;
    std::string status;
    std::uint32_t includes;  // "parse file" lines of the included files
    std::uint32_t searchDirs;
  };
  const Case cases[] = {
      {"bad.wld", "Syntax error file (bad.wld) line (3) : Camera syntax error", 0, 1},
      {"many.wld", "Syntax error file (many.wld) line (67) : Too many include directories", 66,
       kExtraSearchDirCapacity},
      {"shared.wld",
       "Syntax error file (no_such_file.wld) line (2) : Cannot open file "
       "\"shared\\no_such_file.wld\"",
       0, 1},
  };
  for (const Case& c : cases) {
    std::vector<std::string> log = {kBegin, ParseFile(c.world)};
    for (std::uint32_t i = 0; i < c.includes; ++i)
      log.push_back(ParseFile("d" + std::to_string(i) + "/i.wld"));
    CompileRequest = WorldReady = 1;
    EXPECT_EQ(CompileSession((dir_.path() + c.world).c_str()), 0u);
    EXPECT_EQ(CompileRequest, 0u);
    EXPECT_EQ(WorldReady, 0u);  // the reset emptied the world it drew
    ExpectPanels(log, c.status);
    EXPECT_EQ(ExtraSearchDirs.count, c.searchDirs);
    // The status text stays on the header's one line: nothing is drawn below it.
    const std::vector<std::uint8_t> header = test::ViewImage(StatusPanel);
    const auto below = std::find_if(header.begin() + 32 * 1024, header.end(),
                                    [](std::uint8_t texel) { return texel != 0; });
    EXPECT_TRUE(below == header.end()) << c.world << ": row " << (below - header.begin()) / 1024;
  }
}

TEST_F(CompileSessionTest, TheProgressPanelNamesTheWorldByItsFirstInfo) {
  dir_.Write("two.wld", "Info { title(\"Dunes\") author(\"Bo\") date(\"May\") }\n"
                        "Info { title(\"Other\") author(\"Cy\") date(\"June\") }\n");
  dir_.Write("none.wld", "Camera c { position([0 0 5]) }\n");
  const std::vector<test::TextRun> dunes = {{"arial", 0, 1.0f, 20, 14, "\\bDunes"},
                                            {"times new roman", 0, 1.0f, 20, 40, "Bo"},
                                            {"times new roman", 0, 1.0f, 20, 56, "May"}};
  const std::vector<test::TextRun> hills = {{"arial", 0, 1.0f, 20, 14, "\\bHills"},
                                            {"times new roman", 0, 1.0f, 20, 40, "Ann"},
                                            {"times new roman", 0, 1.0f, 20, 56, "2003"}};
  const std::vector<test::TextRun> noName = {{"arial", 0, 1.0f, 20, 14, "no name"}};
  // The world's strings show as written, backslashes and all.
  dir_.Write("marks.wld", "Info { title(\"Bay\\new\") author(\"A\\bo\") date(\"5\\3\") }\n");
  const std::vector<test::TextRun> marks = {{"arial", kTextBold, 1.0f, 20, 14, "Bay\\new", false},
                                            {"times new roman", 0, 1.0f, 20, 40, "A\\bo", false},
                                            {"times new roman", 0, 1.0f, 20, 56, "5\\3", false}};
  for (const auto& [world, runs] : {std::pair{"two.wld", dunes}, std::pair{"w.wld", hills},
                                    std::pair{"none.wld", noName}, std::pair{"marks.wld", marks}}) {
    ASSERT_EQ(CompileSession((dir_.path() + world).c_str()), 1u);
    EXPECT_EQ(test::Differing(test::ViewImage(ProgressPanel), test::DrawnImage(8, 7, runs)), 0u)
        << world;
  }
}

// A BinaryDir where the session log cannot be written, opened or written to: the compile goes
// on without its log, and stderr names the file and the system's reason once, not at every
// compile.
TEST_F(CompileSessionTest, ALogThatCannotBeWrittenIsSaidOnceOnStderr) {
  const std::string d = dir_.path();
  dir_.Write("plain", "");
  std::filesystem::create_directories(dir_.Path("locked"));
  struct Case {
    std::string binaryDir;
    std::string reason;
  };
  // A log that opens on a device without room: every write fails as on a full disk.
  std::filesystem::create_directories(dir_.Path("full"));
  std::filesystem::create_symlink("/dev/full", dir_.Path("full/session.log"));
  // A FIFO in the log's place: refused as what it is, never waited on for a reader.
  std::filesystem::create_directories(dir_.Path("fifo"));
  ASSERT_EQ(mkfifo(dir_.Path("fifo/session.log").c_str(), 0600), 0);
  std::vector<Case> cases = {{d + "gone/", "No such file or directory"},
                             {d + "plain/", "Not a directory"},  // a file where the directory is
                             {d + "full/", "No space left on device"},
                             {d + "fifo/", "it is a FIFO, not a regular file"}};
  // Root writes into a directory without write bits: there, that side cannot be had.
  if (geteuid() != 0) cases.push_back({d + "locked/", "Permission denied"});
  std::filesystem::permissions(
      dir_.Path("locked"), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  test::MessageCapture records;  // headless runs' records go to a file, not to stderr
  for (const Case& c : cases) {
    ASSERT_TRUE(SetSearchDirs(dir_.Path("product").c_str(), c.binaryDir.c_str(), "", "",
                              dir_.Path("work").c_str()));
    testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(CompileSession((d + "w.wld").c_str()), 1u) << c.binaryDir;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "veskor: cannot write the session log " +
                                                          c.binaryDir + "session.log: " + c.reason +
                                                          " (the sessions go on without it)\n");
    ExpectPanels(Compiled("w.wld"), "");
  }
  std::filesystem::permissions(dir_.Path("locked"), std::filesystem::perms::owner_all);
  // A directory that can be written again: nothing more is said.
  ASSERT_TRUE(SetSearchDirs(dir_.Path("product").c_str(), dir_.Path("binary").c_str(), "", "",
                            dir_.Path("work").c_str()));
  testing::internal::CaptureStderr();
  EXPECT_EQ(CompileSession((d + "w.wld").c_str()), 1u);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  ExpectFxListing(test::ReadFileText(d + "binary/session.log"));
}

// A world's Environment block reaches the parameters; the next world, naming none, starts
// from the defaults again: horizon (0, 0) and both cloud layers present.
TEST_F(CompileSessionTest, AnEnvironmentHoldsUntilTheNextWorld) {
  dir_.Write("sky.wld", "Environment { Sky { horizon([1.5 -2]) } }\n");
  ASSERT_EQ(CompileSession((dir_.path() + "sky.wld").c_str()), 1u);
  EXPECT_EQ(SkyParams.horizon[0], 1.5f);
  EXPECT_EQ(SkyParams.horizon[1], -2.0f);
  EXPECT_EQ(CloudHighParams.present + CloudLowParams.present, 0);
  ASSERT_EQ(CompileSession((dir_.path() + "w.wld").c_str()), 1u);
  EXPECT_EQ(SkyParams.horizon[0], 0.0f);
  EXPECT_EQ(SkyParams.horizon[1], 0.0f);
  EXPECT_EQ(CloudHighParams.present + CloudLowParams.present, 2);
}

TEST_F(CompileSessionTest, ASuccessRereadsTheDetailLevelsAndLeavesExamineOff) {
  for (const char* name : {"TerrainGeo", "TerrainTex", "Portal", "CloudLow", "Overall",
                           "IsLangCtrlLOD"})
    store_.Remove(name);
  store_.Set("ObjectGeo", "0.9");
  store_.Set("ObjectTex", "0.8");
  store_.Write();
  TerrainGeo = Overall = 0.3f;
  ExamineMode = ExamineCheck.checked = 1;
  WelcomeRunning = 1;
  ShowPlane(InfoPanel);
  ShowPlane(SetupPanel);
  gWorld.soundBankCount = 1;
  gWorld.soundBanks[0].playing = 1;
  for (int i = 0; i < 2; ++i) ASSERT_EQ(CompileSession((dir_.path() + "w.wld").c_str()), 1u);
  EXPECT_FLOAT_EQ(ObjectGeo, 0.9f);
  EXPECT_FLOAT_EQ(ObjectTex, 0.8f);
  EXPECT_FLOAT_EQ(TerrainGeo, 0.3f);
  EXPECT_FLOAT_EQ(Overall, 0.3f);
  EXPECT_EQ(ExamineMode, 0u);
  EXPECT_EQ(ExamineCheck.checked, 0u);
  EXPECT_EQ(WelcomeRunning, 0u);
  EXPECT_EQ(InfoPanel.hidden + SetupPanel.hidden, 2u);
  EXPECT_EQ(gWorld.soundBanks[0].playing, 0u);  // stopped before the reset counted it out
  EXPECT_EQ(gWorld.soundBankCount, 0u);
  EXPECT_EQ(ExtraSearchDirs.count, 1u);  // the root's directory once, however often
  EXPECT_EQ(WorldReady, 1u);
  EXPECT_TRUE(LogStream().file == nullptr);
  ExpectFxListing(test::ReadFileText(dir_.path() + "binary/session.log"));

  // A failure before the reset leaves the world and its banks as they were.
  gWorld.soundBankCount = 1;
  gWorld.soundBanks[0].playing = 1;
  EXPECT_EQ(CompileSession((dir_.path() + "none.wld").c_str()), 0u);
  EXPECT_EQ(gWorld.soundBanks[0].playing, 1u);
  EXPECT_EQ(gWorld.soundBankCount, 1u);
  EXPECT_EQ(WorldReady, 1u);
  gWorld.soundBankCount = 0;
  gWorld.soundBanks[0].playing = 0;
}

}  // namespace
}  // namespace veskor
