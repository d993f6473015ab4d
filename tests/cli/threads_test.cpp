#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/sample_photos.h"
#include "platform/text_format.h"
#include "test_support.h"

namespace tessarix::test {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs tessarix-cli; returns its exit status and leaves its standard output in `out`.
int RunCli(const TempDir& dir, const std::vector<std::string>& args, std::string* out = nullptr) {
  std::string command = Quoted(TESSARIX_CLI_PATH);
  for (const std::string& arg : args) {
    command += ' ';
    command += Quoted(arg);
  }
  command += " </dev/null >";
  command += Quoted(dir.File(".out"));
  command += " 2>/dev/null";
  const int raw = std::system(command.c_str());
  if (out != nullptr) {
    std::ifstream in(dir.File(".out"), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    *out = text.str();
  }
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// One folder of tiles, analysed and turned into mosaics once with one thread and once with
// three: the collections list the same entries, and mosaics and reports are the same bytes.
TEST(CliThreadsTest, OneAndThreeThreadsGiveTheSameFiles) {
  TempDir dir;
  fs::create_directories(dir.Path() / "tiles" / "REQUIRED");
  for (uint32_t i = 0; i < 40; ++i) {
    const bool upright = i % 5 == 1;
    WriteJpeg(MakeSamplePhoto(i + 1, upright ? 48 : 72, upright ? 72 : 48),
              dir.File(Format("tiles/t%02u.jpg", i)));
  }
  WriteJpeg(MakeSamplePhoto(77, 60, 60), dir.File("tiles/REQUIRED/must.jpg"));
  WriteJpeg(MakeSampleScene(480, 320), dir.File("scene.jpg"));

  // The option works before and after the collection action.
  ASSERT_EQ(RunCli(dir, {"collection", "--threads", "1", "create", dir.File("tiles/one.tzc")}), 0);
  ASSERT_EQ(RunCli(dir, {"collection", "create", dir.File("tiles/many.tzc"), "--threads", "3"}), 0);
  std::string one, many;
  ASSERT_EQ(RunCli(dir, {"collection", "show", dir.File("tiles/one.tzc")}, &one), 0);
  ASSERT_EQ(RunCli(dir, {"collection", "show", dir.File("tiles/many.tzc")}, &many), 0);
  // Everything after the description line: 41 entries.
  one = one.substr(one.find('\n') + 1);
  many = many.substr(many.find('\n') + 1);
  EXPECT_EQ(std::count(one.begin(), one.end(), '\n'), 41);
  EXPECT_EQ(one, many);

  const std::vector<std::vector<std::string>> settings = {
      {},
      {"--max-duplicates", "1", "--algorithm", "exponential"},
      {"--max-duplicates", "2", "--duplicate-distance", "1", "--use-all", "--modify", "40"},
      {"--algorithm", "flip-horiz-vert", "--border", "2", "--duplicate-distance", "0"},
  };
  int n = 0;
  for (const std::vector<std::string>& setting : settings) {
    SCOPED_TRACE(n);
    std::vector<std::string> files;
    for (const char* threads : {"1", "3"}) {
      const std::string source = dir.File(Format("s%d-%s.jpg", n, threads));
      fs::copy_file(dir.File("scene.jpg"), source);
      std::vector<std::string> args = {
          "mosaic",          "--threads", threads,          "-c",  dir.File("tiles/one.tzc"),
          "--tiles-per-row", "16",        "--mosaic-width", "640", "--report"};
      args.insert(args.end(), setting.begin(), setting.end());
      args.push_back(source);
      ASSERT_EQ(RunCli(dir, args), 0);
      files.push_back(source.substr(0, source.size() - 4));
    }
    const std::vector<unsigned char> mosaic = ReadBytes(files[0] + " Mosaic.JPG");
    ASSERT_FALSE(mosaic.empty());
    EXPECT_TRUE(mosaic == ReadBytes(files[1] + " Mosaic.JPG"));
    const std::vector<unsigned char> report = ReadBytes(files[0] + " Report.TXT");
    ASSERT_FALSE(report.empty());
    EXPECT_TRUE(report == ReadBytes(files[1] + " Report.TXT"));
    ++n;
  }
}

TEST(CliThreadsTest, RefusesCountsOutOfRange) {
  TempDir dir;
  EXPECT_EQ(RunCli(dir, {"collection", "--threads", "0", "create", dir.File("a.tzc")}), 2);
  EXPECT_EQ(RunCli(dir, {"mosaic", "--threads", "257", "-c", dir.File("a.tzc"), "x.jpg"}), 2);
  EXPECT_EQ(RunCli(dir, {"mosaic", "--threads", "two", "-c", dir.File("a.tzc"), "x.jpg"}), 2);
  // Only the collection and mosaic commands take it.
  EXPECT_EQ(RunCli(dir, {"frames", "--threads", "2", dir.File("v.avi")}), 2);
}

}  // namespace
}  // namespace tessarix::test
