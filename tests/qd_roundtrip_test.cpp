// MZF files through a QD image and back: packed by Pandrel or added by Drasil, then listed and
// unpacked by Velkor, and Pandrel's image listed by Drasil.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tests/support/expect.h"
#include "tests/support/media.h"
#include "tests/support/process.h"

namespace {

struct Original {
  std::string file;       // the MZF file handed to the writers
  std::string unpacked;   // the name Velkor gives it back
  int attribute;
  std::string name;
  std::string data;
  int load;
  int exec;
};

// Files that do not look like BASIC, so Velkor writes one MZF file for each. Their data holds
// sync pairs and block framings, which a search for blocks must not take for real ones. (Drasil's
// "dir" looks again at the last four bytes of each payload, so no data ends in a sync pair.)
std::vector<Original> Originals() {
  std::string framing = Bytes({0x00, 0x16, 0x16, 0xA5, 0x00, 0x40, 0x00});
  return {
      {"loader.mzf", "loader.mzf", 1, "LOADER", framing + Counting(293), 0x1200, 0x1234},
      {"sys.mzf", "system_1.mzf", 10, "SYSTEM 1", Counting(4000, 0x16) + framing, 0xC000, 0xC003},
      {"long.mzf", "abcdefghijklmnopq.mzf", 1, "ABCDEFGHIJKLMNOPQ", Repeat(0x16, 60) + "tail",
       0x0000, 0x0000},
      {"one.mzf", "one.mzf", 3, "ONE", "1", 0xFFFF, 0x8000},
  };
}

void WriteOriginals(const TempDir& dir) {
  for (const Original& o : Originals()) {
    dir.Write(o.file, Mzf(o.attribute, o.name, o.data, o.load, o.exec, "comment is not kept"));
  }
}

// Velkor's listing of the originals with columns, and the check that each came back whole: the
// same type, name, data, load and exec address.
void ExpectUnpacked(const TempDir& dir, const std::string& image) {
  RunResult run = RunProgram(VelkorExe(), {"-Q", image}, dir.path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            VelkorFileBanner(image) +
                "Directory of QD:                         size load exec\n"
                " OBJ  \"LOADER\"          :`   300 Bytes   012C 1200 1234\n"
                " SYS  \"SYSTEM 1\"        :`  4007 Bytes   0FA7 C000 C003\n"
                " OBJ  \"ABCDEFGHIJKLMNOPQ\":`    64 Bytes   0040 0000 0000\n"
                " BSD  \"ONE\"             :`     1 Bytes   0001 FFFF 8000\n"
                "Length of data: 4372 Bytes.\n\n");
  for (const Original& o : Originals()) {
    ASSERT_TRUE(dir.Exists(o.unpacked)) << o.unpacked;
    EXPECT_EQ(dir.Read(o.unpacked), Mzf(o.attribute, o.name, o.data, o.load, o.exec)) << o.unpacked;
  }
}

std::vector<std::string> OriginalFiles() {
  std::vector<std::string> files;
  for (const Original& o : Originals()) files.push_back(o.file);
  return files;
}

}  // namespace

TEST(QdRoundTrip, PackedByPandrelUnpackedByVelkor) {
  TempDir dir;
  WriteOriginals(dir);
  ASSERT_EQ(RunProgram(PandrelExe(), OriginalFiles(), dir.path()).status, 0);
  ExpectUnpacked(dir, "QDisk.mzq");
}

TEST(QdRoundTrip, AddedByDrasilUnpackedByVelkor) {
  TempDir dir;
  WriteOriginals(dir);
  ASSERT_EQ(RunProgram(DrasilExe(), {"format"}, dir.path()).status, 0);
  for (const std::string& file : OriginalFiles()) {
    RunResult run = RunProgram(DrasilExe(), {"add", file}, dir.path());
    ExpectRun(run, 0, kDrasilBanner + "try to add " + file + "\n");
  }
  ExpectUnpacked(dir, "MZ700.qd");
}

TEST(QdRoundTrip, DrasilListsAPandrelImage) {
  TempDir dir;
  WriteOriginals(dir);
  ASSERT_EQ(RunProgram(PandrelExe(), OriginalFiles(), dir.path()).status, 0);
  ASSERT_EQ(std::rename(dir.Path("QDisk.mzq").c_str(), dir.Path("MZ700.qd").c_str()), 0);
  std::string listing = kDrasilBanner +
                        "DIRECTORY OF QD:\n"
                        " OBJ  \"LOADER\"\n"
                        " SYS  \"SYSTEM 1\"\n"
                        " OBJ  \"ABCDEFGHIJKLMNOPQ\"\n"
                        " BSD  \"ONE\"\n"
                        "Ready\n";
  ExpectRun(RunProgram(DrasilExe(), {"dir"}, dir.path()), 0, listing);

  // Drasil adds behind the packer's files; the image then has the tool's length.
  dir.Write("extra.mzf", Mzf(1, "EXTRA", "xyz"));
  ExpectRun(RunProgram(DrasilExe(), {"add", "extra.mzf"}, dir.path()), 0,
            kDrasilBanner + "try to add extra.mzf\n");
  std::string image = dir.Read("MZ700.qd");
  EXPECT_EQ(image.size(), 61455u);
  EXPECT_EQ(image[4], 10);
  listing.insert(listing.size() - 6, " OBJ  \"EXTRA\"\n");
  ExpectRun(RunProgram(DrasilExe(), {"dir"}, dir.path()), 0, listing);
}
