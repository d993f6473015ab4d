#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "../movie/test_video.h"
#include "cli/interrupt.h"
#include "imaging/sample_photos.h"
#include "platform/atomic_file.h"
#include "test_support.h"
#include "window_logic/collection_commands.h"

namespace tessarix::test {
namespace {

namespace fs = std::filesystem;

struct CliRun {
  int status = -1;
  std::string out, err;
};

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ReadText(const std::string& path) {
  const std::vector<unsigned char> bytes = ReadBytes(path);
  return {bytes.begin(), bytes.end()};
}

// Runs the real program with stdin closed and both outputs captured; `shell` comes first on the
// shell's command line (limits, a time-out).
CliRun Cli(const TempDir& dir, const std::vector<std::string>& args,
           const std::string& shell = "") {
  std::string command = shell + Quote(TESSARIX_CLI_PATH);
  for (const std::string& arg : args) command += " " + Quote(arg);
  const std::string out = dir.File(".out"), err = dir.File(".err");
  command += " </dev/null >" + Quote(out) + " 2>" + Quote(err);
  CliRun run;
  const int raw = std::system(command.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = ReadText(out);
  run.err = ReadText(err);
  return run;
}

// A folder of varied tiles, where CreateCollection puts its collection file, and a source photo
// beside it.
class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(tiles());
    for (uint32_t i = 0; i < 24; ++i)
      WriteJpeg(MakeSamplePhoto(i + 1, i % 4 == 1 ? 48 : 72, i % 4 == 1 ? 72 : 48),
                (tiles() / ("t" + std::to_string(i) + ".jpg")).string());
    WriteJpeg(MakeSampleScene(360, 240), dir.File("a.jpg"));
  }

  fs::path tiles() const { return dir.Path() / "tiles"; }
  std::string collection() const { return (tiles() / "all.tzc").string(); }

  CliRun CreateCollection() { return Cli(dir, {"collection", "create", collection()}); }

  TempDir dir;
};

// In byte order "Required/" (upper case) comes before "clip_FRAMES00001/" and the root tiles, so
// the frame holds index position 1: sequence number 2. One and three threads make mosaics and
// reports of the same bytes.
TEST_F(CliTest, ShowListsTheEntriesAndOneAndThreeThreadsMakeTheSameFiles) {
  fs::create_directories(tiles() / "clip_FRAMES00001");
  fs::create_directories(tiles() / "Required");
  WriteJpeg(MakeSamplePhoto(90, 60, 40), (tiles() / "clip_FRAMES00001" / "FR00001.jpg").string());
  WriteJpeg(MakeSamplePhoto(92, 60, 40), (tiles() / "Required" / "me.jpg").string());
  ASSERT_EQ(Cli(dir, {"collection", "create", collection(), "--threads", "3"}).status, 0);

  const CliRun shown = Cli(dir, {"collection", "show", collection()});
  EXPECT_EQ(shown.out.rfind("The Collection contains 26 Images.\n", 0), 0u) << shown.out;
  for (const char* line :
       {"/tiles/t1.jpg\t48x72\t1\t0\t0\n", "/clip_FRAMES00001/FR00001.jpg\t60x40\t0\t2\t0\n",
        "/Required/me.jpg\t60x40\t0\t0\t1\n"})
    EXPECT_NE(shown.out.find(line), std::string::npos) << line << shown.out;

  std::vector<std::string> bases;
  for (const char* threads : {"1", "3"}) {
    bases.push_back(dir.File(std::string("s") + threads));
    fs::copy_file(dir.File("a.jpg"), bases.back() + ".jpg");
    ASSERT_EQ(Cli(dir, {"mosaic", "--threads", threads, "-c", collection(), "--tiles-per-row=16",
                        "--mosaic-width=640", "--report", "--max-duplicates=2",
                        "--duplicate-distance=1", "--use-all", "--modify=40",
                        "--algorithm=flip-horiz-vert", "--border=2", bases.back() + ".jpg"})
                  .status,
              0);
  }
  for (const char* suffix : {" Mosaic.JPG", " Report.TXT"}) {
    const std::vector<unsigned char> first = ReadBytes(bases[0] + suffix);
    EXPECT_FALSE(first.empty()) << suffix;
    EXPECT_TRUE(first == ReadBytes(bases[1] + suffix)) << suffix;
  }
}

// Each command line with its exit status, a text it prints once and the outputs it leaves. An
// option takes only its own value: a bare --web-page never the next word, and a value left empty
// after "=" is the empty field, not the next word. Files that are no collection of this version
// are left as they are and named with the reason. On a disk that is full beyond 512 bytes the
// collection cannot be saved: said with the operating system's reason.
TEST_F(CliTest, EveryCommandLineEndsWithItsStatusAndItsText) {
  ASSERT_EQ(CreateCollection().status, 0);
  std::ofstream(dir.File("notes.txt")) << "my notes";
  std::ofstream(dir.File("old.tzc"), std::ios::binary) << "XXXXXXXXXXXXXXXX";
  const std::string a = dir.File("a.jpg"), old = dir.File("old.tzc"), full = dir.File("f.tzc");
  const std::string clip = dir.File("clip.avi");
  ASSERT_TRUE(WriteCodedVideo(clip, {}));
  WriteJpeg(MakeFlatImage(120, 80, 0xff), dir.File("mask.jpg"));  // one area, one shaped cell
  const auto mosaic = [&](std::vector<std::string> options) {
    std::vector<std::string> args = {"mosaic", "-c", collection(), "--mosaic-width", "300"};
    args.insert(args.end(), options.begin(), options.end());
    return args;
  };
  const std::string param = "Parameter: Number of Tiles per Row is invalid. Valid values are: ";
  const std::string frames = "clip_FRAMES00001";
  const std::string fullDisk = "trap '' XFSZ; ulimit -f 1; exec ";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string said;
    std::vector<std::string> made;
  } rows[] = {
      // clang-format off
      // The man page is made from these two: the full help goes down to the collection actions.
      {{"--version"}, 0, "tessarix-cli 3.", {}},
      {{"--help-all"}, 0, "tessarix-cli collection create", {}},
      {mosaic({"--tiles-per-row", "5", "--web-page", "900", a}), 1,
       "Skipped (cannot load): " + (fs::current_path() / "900").string(),
       {"a Mosaic.JPG", "a.html"}},
      {mosaic({"--tiles-per-row", "5", "--tile-width=", a}), 0, dir.File("a Mosaic.JPG") + "\n",
       {"a Mosaic.JPG"}},
      {mosaic({"--tiles-per-row=", a}), 2, param + "1..10000", {}},
      {mosaic({"--tiles-per-row", "5", "--tile-width", "0", a}), 2,
       "A mask file is needed for tile width 0: give it with --mask.", {}},
      {mosaic({"--tiles-per-row", "5", "--tile-width", "0", "--mask", dir.File("mask.jpg"), a}),
       0, "Completed 1 Mosaics!", {"a Mosaic.JPG"}},
      {mosaic({"--algorithm", "fancy", a}), 2, "Invalid Algorithm.", {}},
      {{"collection", "--threads", "0", "create", dir.File("n.tzc")}, 2, "", {}},
      {{"mosaic", "--threads", "257", "-c", collection(), a}, 2, "", {}},
      // Only the collection and mosaic commands take a thread count.
      {{"frames", "--threads", "2", dir.File("v.avi")}, 2, "", {}},
      {{"frames", clip, "--quality", "101"}, 2, "", {}},
      {{"frames", dir.File("missing.avi")}, 1, "Cannot open the specified file", {}},
      // 10 frames in two steps of five: frame numbers 1 and 6.
      {{"frames", clip, "--frames", "2", "--prefix", "S"}, 0, dir.File(frames) + "\n",
       {frames + "/S00006.jpg", frames}},
      {{"utility", "sharpen", a}, 2, "", {}},
      {{"utility", "cut-borders", dir.File("missing.jpg")}, 1, "", {}},
      {{"utility", "wallpaper", a}, 0, dir.File("a WallPaper.jpg") + "\n", {}},
      {{"mosaic", "-c", old, a}, 1,
       "Wrong File version!\nError reading the Image Collection!\n" + old + ": wrong file version", {}},
      {{"collection", "update", old}, 1, old + ": wrong file version", {}},
      {{"collection", "create", dir.File("notes.txt")}, 2, "notes.txt: wrong file version", {}},
      {{"collection", "create", full}, 1, "Unable to save the Image Collection!\n" + full + ": " +
       std::strerror(EFBIG) + "\n", {}},
      // clang-format on
  };
  const std::vector<std::string> outputs = {"a Mosaic.JPG", "a.html", frames + "/S00006.jpg",
                                            frames + "/S00002.jpg", frames};
  for (const auto& row : rows) {
    const CliRun run = Cli(dir, row.args, row.args.back() == full ? fullDisk : "timeout 10 ");
    SCOPED_TRACE(::testing::PrintToString(row.args));
    EXPECT_EQ(run.status, row.status) << run.err;
    const std::string said = run.err + run.out;
    EXPECT_NE(said.find(row.said), std::string::npos) << said;
    EXPECT_TRUE(row.said.empty() || said.find(row.said) == said.rfind(row.said)) << said;
    std::vector<std::string> made;
    for (const std::string& output : outputs)
      if (fs::remove_all(dir.File(output)) != 0)
        made.push_back(output);
    EXPECT_EQ(made, row.made);
  }
  EXPECT_EQ(ReadText(dir.File("notes.txt")), "my notes");
  EXPECT_EQ(ReadText(old), "XXXXXXXXXXXXXXXX");
  EXPECT_FALSE(fs::exists(dir.File("n.tzc")) || fs::exists(full));
}

// A second Ctrl-C ends the program at once, but never with a temporary file left behind, nor
// while a set of outputs is being renamed into place: then it waits for the renames.
TEST(CliInterruptTest, SecondCtrlCRemovesTemporariesAndWaitsForRenames) {
  TempDir dir;
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    cli::InstallInterruptHandler();
    AtomicFile mosaic(dir.File("X Mosaic.JPG")), collection(dir.File("X.tzc"));
    if (!mosaic.Open() || !collection.Open())
      _exit(3);
    std::raise(SIGINT);  // the first asks the work to stop
    {
      ExitHold renaming;
      std::raise(SIGINT);
      if (write(fds[1], "renamed", 7) != 7)
        _exit(4);
    }
    _exit(0);  // not reached: the second Ctrl-C ends the program with the hold
  }
  close(fds[1]);
  char said[16] = {};
  EXPECT_EQ(read(fds[0], said, sizeof said - 1), 7);
  close(fds[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 130);
  EXPECT_STREQ(said, "renamed");
  EXPECT_TRUE(fs::is_empty(dir.Path()));
}

// A second program updating the same collection waits, with a status line that says so, and can
// be stopped while it waits; once the first has saved, it goes on and ends once.
TEST_F(CliTest, AnUpdateWaitsForTheRunHoldingTheFile) {
  ASSERT_EQ(CreateCollection().status, 0);
  RecordingPrompt prompt;
  ImageCollection held;
  CollectionCommands first(held);
  ASSERT_TRUE(first.Load(collection()).ok);
  first.MakeBlackAndWhite();
  ASSERT_TRUE(first.BeginUpdate().ok);  // holds the file until its save
  const std::string waiting =
      "Waiting while another program creates or updates \"" + collection() + "\"...\n";
  const std::vector<std::string> update = {"collection", "update", collection()};
  const CliRun stopped = Cli(dir, update, "timeout --preserve-status -k 5 -s INT 1.5 ");
  EXPECT_EQ(stopped.status, 130);
  EXPECT_NE(stopped.err.find(waiting), std::string::npos) << stopped.err;

  fs::remove(dir.File(".err"));
  std::thread finisher([&] {  // once the second program says it waits
    for (int i = 0; i < 200 && ReadText(dir.File(".err")).find(waiting) == std::string::npos; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    while (first.AnalyseTick().more) {
    }
  });
  const CliRun second = Cli(dir, update);
  finisher.join();
  EXPECT_EQ(second.status, 0);
  EXPECT_NE(second.err.find(waiting), std::string::npos) << second.err;
  EXPECT_EQ(second.err.find(waiting), second.err.rfind(waiting)) << second.err;
  EXPECT_NE(second.err.find("Images in Collection 24, Load Completed 100%"), std::string::npos);
}

}  // namespace
}  // namespace tessarix::test
