// Pandrel, the packer, run as a user runs it: MZF files in, "QDisk.mzq" and a directory out.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tests/support/expect.h"
#include "tests/support/media.h"
#include "tests/support/process.h"

namespace {

RunResult Pandrel(const TempDir& dir, const std::vector<std::string>& args,
                  const RunOptions& options = {}) {
  return RunProgram(PandrelExe(), args, dir.path(), options);
}

std::string EndLine(int end) {
  char line[64];
  std::snprintf(line, sizeof line, "                     End: %06x\n", end);
  return line;
}

// The packer's output around the lines of its files.
std::string PandrelOutput(const std::string& lines, int end) {
  return kPandrelHead + lines + EndLine(end) + "\n";
}

const char kExceeds[] = "WARNING: The file exceeds the length of the standard image.\n";

}  // namespace

TEST(Pandrel, WithoutFilesWritesAnEmptyImage) {
  TempDir dir;
  ExpectRun(Pandrel(dir, {}), 0, PandrelOutput("", 8));
  std::string image = PandrelImage({});
  ASSERT_EQ(image.size(), 61471u);
  EXPECT_EQ(image[4], 0);
  EXPECT_EQ(image.substr(61451), "CRC" + Repeat(0xFF, 17));
  ExpectFiles(dir, {{"QDisk.mzq", image}});
}

TEST(Pandrel, TakesALeadingDashVOnlyBeforeFurtherArguments) {
  const std::string mzf = Mzf(1, "ONE", "1");
  const std::string line = " 1: 'ONE'                 000008   0001  1200  1200\n";
  const std::string image = PandrelImage({PandrelStored(1, "ONE", "1")});
  struct Case {
    std::vector<std::string> args;
    std::string lines;
    int end;
    std::string image;
  };
  const Case cases[] = {
      {{"-v"}, "WARNING: File '-v' not found!\n", 8, PandrelImage({})},
      {{"-v", "one.mzf"}, line, 8 + 85, image},
      {{"one.mzf", "-v"}, line + "WARNING: File '-v' not found!\n", 8 + 85, image},
      {{"-V", "one.mzf"}, "WARNING: File '-V' not found!\n" + line, 8 + 85, image},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write("one.mzf", mzf);
    SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
    ExpectRun(Pandrel(dir, c.args), 0, PandrelOutput(c.lines, c.end));
    ExpectFiles(dir, {{"QDisk.mzq", c.image}, {"one.mzf", mzf}});
  }
}

TEST(Pandrel, StoresFilesInOrderAndSkipsWhatItCannotUse) {
  TempDir dir;
  std::string comment = Counting(104, 0x30);
  std::map<std::string, std::string> files = {
      {"a.mzf", Mzf(5, "HELLO", "12345")},
      {"b.mzf", Mzf(1, "ABCDEFGHIJKLMNOPQ", Counting(300), 0xC000, 0xC003, comment)},
      // Behind the name's CR stand other bytes: the packer stops at the CR.
      {"c.mzf", Mzf(1, "AB\rXYZ\x16\x16\xA5QRSTUVWX", Counting(10), 0x0000, 0xFFFF)},
      {"d.mzf", Mzf(3, std::string("\xA1\x00\x7F\xC0Z", 5), "d", 0x8000, 0x8001)},
      {"e.mzf", MzfHeader(5, "EMPTY", 0, 0x1234, 0x5678)},
      {"short.mzf", Repeat(0x01, 127)},
      {"nothing.mzf", ""},
  };
  for (const auto& file : files) dir.Write(file.first, file.second);
  dir.MakeDir("sub");

  RunResult run = Pandrel(dir, {"a.mzf", "missing.mzf", "b.mzf", "sub", "c.mzf", "short.mzf",
                                "d.mzf", "nothing.mzf", "e.mzf"});
  ExpectRun(run, 0,
            PandrelOutput(" 1: 'HELLO'               000008   0005  1200  1200\n"
                          "WARNING: File 'missing.mzf' not found!\n"
                          " 2: 'ABCDEFGHIJKLMNOPQ'   000061   012c  c000  c003\n"
                          "WARNING: File 'sub' not found!\n"
                          " 3: 'AB'                  0001e1   000a  0000  ffff\n"
                          "ERROR: Wrong file size 'short.mzf' (Skip).\n"
                          " 4: 'a _|Z'               00023f   0001  8000  8001\n"
                          "ERROR: Wrong file size 'nothing.mzf' (Skip).\n"
                          " 5: 'EMPTY'               000294   0000  1234  5678\n",
                          0x2e8));

  std::string image = PandrelImage({
      PandrelStored(2, "HELLO", "12345"),
      PandrelStored(1, "ABCDEFGHIJKLMNOPQ", Counting(300), 0xC000, 0xC003, comment.substr(0, 38)),
      PandrelStored(1, "AB", Counting(10), 0x0000, 0xFFFF),
      PandrelStored(3, std::string("\xA1\x00\x7F\xC0Z", 5), "d", 0x8000, 0x8001),
      PandrelStored(2, "EMPTY", "", 0x1234, 0x5678),
  });
  EXPECT_EQ(image[4], 10);
  files["QDisk.mzq"] = image;
  files["sub"] = "<dir>";
  ExpectFiles(dir, files);
}

TEST(Pandrel, StopsAfterThe33rdStoredFile) {
  TempDir dir;
  std::vector<std::string> args;
  std::vector<QdFile> stored;
  std::string lines;
  for (int i = 1; i <= 40; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "F%02d", i);
    dir.Write(std::string(name) + ".mzf", Mzf(1, name, std::string(1, static_cast<char>(i))));
    args.push_back(std::string(name) + ".mzf");
    if (i > 33) continue;
    stored.push_back(PandrelStored(1, name, std::string(1, static_cast<char>(i))));
    char line[80];
    std::snprintf(line, sizeof line, "%2d: '%s'                 %06x   0001  1200  1200\n", i, name,
                  8 + 85 * (i - 1));
    lines += line;
  }
  RunResult run = Pandrel(dir, args);
  ExpectRun(run, 0, PandrelOutput(lines, 8 + 85 * 33));
  std::string image = dir.Read("QDisk.mzq");
  EXPECT_EQ(FirstDifference(image, PandrelImage(stored)), "");
  EXPECT_EQ(image[4], 66);
}

TEST(Pandrel, DataShorterThanSizeLeavesWhatTheImageHeld) {
  // Size 61400 and no data at all: the data area keeps the fill, the empty image's closing "CRC"
  // and the 0xFF behind it; the file's own "CRC" follows at 89 + 61400.
  std::string mzf = MzfHeader(1, "HOLLOW", 61400, 0x1200, 0x1200) + Counting(10, 0x80);
  std::string held = PandrelImage({}) + Repeat(0xFF, 100);
  std::string data = Counting(10, 0x80) + held.substr(99, 61390);
  TempDir dir;
  dir.Write("hollow.mzf", mzf);
  ExpectRun(Pandrel(dir, {"hollow.mzf"}), 0,
            PandrelOutput(" 1: 'HOLLOW'              000008   efd8  1200  1200\n", 8 + 84 + 61400));
  std::string image = dir.Read("QDisk.mzq");
  EXPECT_EQ(image.size(), 61494u);
  EXPECT_EQ(FirstDifference(image, PandrelImage({PandrelStored(1, "HOLLOW", data)})), "");
}

TEST(Pandrel, ImageLengthFollowsTheEndOfTheLastFile) {
  struct Case {
    int size;
    size_t length;
  };
  // The last "CRC" ends at 92 + size; 61359 ends it just before the empty image's closing "CRC".
  const Case cases[] = {{61359, 61471}, {61378, 61471}, {61379, 61473}, {62000, 62094}};
  for (const Case& c : cases) {
    TempDir dir;
    std::string data = Counting(static_cast<size_t>(c.size), 3);
    dir.Write("f.mzf", Mzf(1, "F", data));
    SCOPED_TRACE(c.size);
    RunResult run = Pandrel(dir, {"f.mzf"});
    EXPECT_EQ(run.status, 0);
    std::string image = dir.Read("QDisk.mzq");
    EXPECT_EQ(image.size(), c.length);
    EXPECT_EQ(FirstDifference(image, PandrelImage({PandrelStored(1, "F", data)})), "");
    EXPECT_EQ(image.substr(89 + c.size, 3), "CRC");
    // Behind it: the empty image's closing "CRC" when the file ends before it, then 0xFF.
    std::string behind =
        c.size == 61359 ? "CRC" + Repeat(0xFF, 17) : Repeat(0xFF, c.length - 92 - c.size);
    EXPECT_EQ(image.substr(92 + c.size), behind);
  }
}

TEST(Pandrel, WarnsBeyondTheStandardImageAndSkipsWhatWouldLeaveTheBuffer) {
  struct Case {
    const char* what;
    std::vector<int> sizes;
    std::string lines;
    int end;
  };
  const Case cases[] = {
      {"data ending at 65536", {65528}, " 1: 'S0'                  000008   fff8  1200  1200\n",
       8 + 84 + 65528},
      {"data ending at 65537",
       {65529},
       std::string(kExceeds) + " 1: 'S0'                  000008   fff9  1200  1200\n",
       8 + 84 + 65529},
      {"up to the end of the buffer",
       {65535, 65360, 65359, 0},
       std::string(kExceeds) + " 1: 'S0'                  000008   ffff  1200  1200\n" +
           "ERROR: Wrong file size 's1.mzf' (Skip).\n" + kExceeds +
           " 2: 'S2'                  01005b   ff4f  1200  1200\n" +
           "ERROR: Wrong file size 's3.mzf' (Skip).\n",
       131070},
  };
  for (const Case& c : cases) {
    TempDir dir;
    std::vector<std::string> args;
    std::vector<QdFile> stored;
    std::map<std::string, std::string> files;
    for (size_t i = 0; i < c.sizes.size(); ++i) {
      std::string name = "S" + std::to_string(i);
      std::string data = Counting(static_cast<size_t>(c.sizes[i]), static_cast<int>(i));
      std::string file = "s" + std::to_string(i) + ".mzf";
      files[file] = Mzf(1, name, data);
      dir.Write(file, files[file]);
      args.push_back(file);
      if (c.lines.find("'" + name + "'") != std::string::npos) {
        stored.push_back(PandrelStored(1, name, data));
      }
    }
    SCOPED_TRACE(c.what);
    ExpectRun(Pandrel(dir, args), 0, PandrelOutput(c.lines, c.end));
    files["QDisk.mzq"] = PandrelImage(stored);
    ExpectFiles(dir, files);
    EXPECT_EQ(dir.Read("QDisk.mzq").size(), static_cast<size_t>(c.end) + 2);
  }
}

TEST(Pandrel, FailedWriteReportsAndLeavesTheOldImage) {
  const std::string mzf = Mzf(1, "ONE", "1");
  const std::string lines = " 1: 'ONE'                 000008   0001  1200  1200\n";
  const std::string failed = kPandrelHead + lines + EndLine(8 + 85) +
                             "ERROR: Cannot write file 'QDisk.mzq'!\n";
  {
    TempDir dir;
    dir.Write("one.mzf", mzf);
    dir.MakeDir("QDisk.mzq");
    ExpectRun(Pandrel(dir, {"one.mzf"}), 2, failed);
    ExpectFiles(dir, {{"QDisk.mzq", "<dir>"}, {"one.mzf", mzf}});
  }
  {
    TempDir dir;
    dir.Write("one.mzf", mzf);
    std::string old = PandrelImage({PandrelStored(1, "OLD", "old")});
    dir.Write("QDisk.mzq", old);
    RunOptions small;
    small.fileSizeLimit = 1000;
    ExpectRun(Pandrel(dir, {"one.mzf"}, small), 2, failed);
    ExpectFiles(dir, {{"QDisk.mzq", old}, {"one.mzf", mzf}});
  }
}

TEST(Pandrel, FollowsASymbolicLinkAtTheImageName) {
  TempDir dir;
  dir.MakeDir("out");
  ASSERT_EQ(symlink("out/disk.mzq", dir.Path("QDisk.mzq").c_str()), 0);  // not there yet
  ExpectRun(Pandrel(dir, {}), 0, PandrelOutput("", 8));
  ExpectFiles(dir, {{"QDisk.mzq", "-> out/disk.mzq"}, {"out", "<dir>"}});
  EXPECT_EQ(FirstDifference(dir.Read("out/disk.mzq"), PandrelImage({})), "");
}
