// Drasil, the QD tool, run as a user runs it: format, dir and add in a fresh directory each.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/expect.h"
#include "tests/support/media.h"
#include "tests/support/process.h"

namespace {

RunResult Drasil(const TempDir& dir, const std::vector<std::string>& args,
                 const RunOptions& options = {}) {
  return RunProgram(DrasilExe(), args, dir.path(), options);
}

std::string AddOutput(const std::string& file, const std::string& message = "") {
  return kDrasilBanner + "try to add " + file + "\n" + message;
}

// A fill image whose head counts two blocks. The first search finds the framing at offset 8: a
// block of type 0x55 whose length 0x55AA sends the next search to offset 21941 and beyond. There
// a sync pair is planted so that the second search finds its mark at `mark`.
std::string PlantedMark(int mark) {
  std::string image = EmptyQdImage();
  image[4] = 2;
  image[mark - 2] = 0x16;
  image[mark - 1] = 0x16;
  return image;
}

const QdFile kHello = DrasilStored(2, "HELLO", "10 PRINT", 0x6BCF, 0);

}  // namespace

TEST(DrasilCommandLine, CommandsAreMatchedExactly) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
  };
  const Case cases[] = {
      {{}, 1, "usage: drasil [format] [dir] [add filename]\n\n"},
      {{"add"}, 2, "error: no file to add\n"},
      {{"FORMAT"}, 0, ""},
      {{"Dir"}, 0, ""},
      {{"list", "dir"}, 0, ""},
      {{""}, 0, ""},
  };
  for (const Case& c : cases) {
    TempDir dir;
    RunResult run = Drasil(dir, c.args);
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
    ExpectRun(run, c.status, kDrasilBanner + c.out);
    ExpectFiles(dir, {});
  }
}

TEST(DrasilFormat, WritesTheEmptyImageOverWhateverStoodThere) {
  for (std::string old : {std::string(), Repeat(0x16, 70000), QdImage({kHello})}) {
    TempDir dir;
    if (!old.empty()) dir.Write("MZ700.qd", old);
    dir.Write("MZ700.QD", "other");
    ExpectRun(Drasil(dir, {"format", "extra", "args"}), 0, kDrasilBanner + "Format\n");
    ExpectFiles(dir, {{"MZ700.qd", EmptyQdImage()}, {"MZ700.QD", "other"}});
  }
}

TEST(DrasilFormat, FailedWriteReportsAndLeavesTheOldImage) {
  {
    TempDir dir;
    dir.MakeDir("MZ700.qd");
    ExpectRun(Drasil(dir, {"format"}), 4, kDrasilBanner + "Format\nerror: cannot write MZ700.qd\n");
    ExpectFiles(dir, {{"MZ700.qd", "<dir>"}});
  }
  {
    TempDir dir;
    std::string old = QdImage({kHello});
    dir.Write("MZ700.qd", old);
    RunOptions small;
    small.fileSizeLimit = 1000;
    ExpectRun(Drasil(dir, {"format"}, small), 4,
              kDrasilBanner + "Format\nerror: cannot write MZ700.qd\n");
    ExpectFiles(dir, {{"MZ700.qd", old}});  // no half-written file, no leftover
  }
}

TEST(DrasilFormat, FollowsASymbolicLinkAtTheImageName) {
  TempDir dir;
  dir.MakeDir("disks");
  dir.Write("disks/side-a.qd", "old");
  ASSERT_EQ(symlink("disks/side-a.qd", dir.Path("MZ700.qd").c_str()), 0);
  ExpectRun(Drasil(dir, {"format"}), 0, kDrasilBanner + "Format\n");
  ExpectFiles(dir, {{"MZ700.qd", "-> disks/side-a.qd"}, {"disks", "<dir>"}});
  EXPECT_EQ(FirstDifference(dir.Read("disks/side-a.qd"), EmptyQdImage()), "");
}

TEST(DrasilDir, ListsTypesAndNamesAsTheirBytesStand) {
  TempDir dir;
  ExpectRun(Drasil(dir, {"format"}), 0, kDrasilBanner + "Format\n");
  ExpectRun(Drasil(dir, {"dir"}), 0, kDrasilBanner + "DIRECTORY OF QD:\nReady\n");

  const char* names[] = {"???", "OBJ", "BTX", "BSD", "BRD", "RB ", "???", "LIB",
                         "???", "???", "SYS", "GR ", "???", "???"};
  std::vector<QdFile> files;
  std::string expected = "DIRECTORY OF QD:\n";
  for (int type = 0; type <= 13; ++type) {
    std::string name = "T" + std::to_string(type);
    files.push_back(DrasilStored(type, name, "x"));
    expected += std::string(" ") + names[type] + "  \"" + name + "\"\n";
  }
  // Names are printed without conversion, up to their CR; a 17-character name runs on into the
  // next bytes up to a CR, here the packer's Unknown.
  files.push_back(DrasilStored(255, "", "data"));
  expected += " ???  \"\"\n";
  files.push_back(DrasilStored(1, "\xA1\xB3 Z\x01", "data"));
  expected += " OBJ  \"\xA1\xB3 Z\x01\"\n";
  files.push_back(PandrelStored(1, "ABCDEFGHIJKLMNOPQ", ""));
  expected += " OBJ  \"ABCDEFGHIJKLMNOPQ\"\n";
  dir.Write("MZ700.qd", QdImage(files));
  ExpectRun(Drasil(dir, {"dir", "extra"}), 0, kDrasilBanner + expected + "Ready\n");
}

TEST(DrasilDir, ResumesItsSearchFourBytesBeforeTheEndOfAPayload) {
  // The header's last comment bytes hold a sync pair and a zero: "dir" takes the byte behind the
  // pair as the next block's mark, sees a header block (type 0) whose type byte is the 'C' of
  // "CRC" and whose name is the data block's framing, up to the 0x0D of its length 13.
  QdFile file = DrasilStored(2, "HELLO", Repeat('A', 13));
  file.comment = Repeat(0, 34) + Bytes({0x16, 0x16, 0x00, 0x00});
  TempDir dir;
  dir.Write("MZ700.qd", QdImage({file}));
  ExpectRun(Drasil(dir, {"dir"}), 0,
            kDrasilBanner + "DIRECTORY OF QD:\n BTX  \"HELLO\"\n ???  \"" +
                Bytes({0x00, 0x16, 0x16, 0xA5, 0x05}) + "\"\nReady\n");
}

TEST(DrasilDir, ReadsLowerCaseNameFirstThenUpperCase) {
  const std::string lower = QdImage({DrasilStored(1, "LOWER", "l")});
  const std::string upper = QdImage({DrasilStored(1, "UPPER", "u")});
  const std::string listLower = "DIRECTORY OF QD:\n OBJ  \"LOWER\"\nReady\n";
  const std::string listUpper = "DIRECTORY OF QD:\n OBJ  \"UPPER\"\nReady\n";
  struct Case {
    const char* what;
    const char* lowerFile;  // nullptr: absent, "" : a directory
    const char* upperFile;
    int status;
    std::string out;
  };
  const Case cases[] = {
      {"lower only", "l", nullptr, 0, listLower},
      {"upper only", nullptr, "u", 0, listUpper},
      {"both", "l", "u", 0, listLower},
      {"lower is a directory", "", "u", 0, listUpper},
      {"neither", nullptr, nullptr, 3, "file MZ700.qd not found\n"},
      {"lower is a directory, no upper", "", nullptr, 3, "file MZ700.qd not found\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    std::map<std::string, std::string> files;
    if (c.lowerFile != nullptr) {
      if (*c.lowerFile == '\0') {
        dir.MakeDir("MZ700.qd");
        files["MZ700.qd"] = "<dir>";
      } else {
        dir.Write("MZ700.qd", lower);
        files["MZ700.qd"] = lower;
      }
    }
    if (c.upperFile != nullptr) {
      dir.Write("MZ700.QD", upper);
      files["MZ700.QD"] = upper;
    }
    SCOPED_TRACE(c.what);
    ExpectRun(Drasil(dir, {"dir"}), c.status, kDrasilBanner + c.out);
    ExpectFiles(dir, files);  // "dir" writes nothing
  }
}

TEST(DrasilDir, ReportsADamagedImageAfterTheEntriesItFound) {
  const std::string damaged = "error: MZ700.qd is damaged\n";
  std::string truncated = QdImage({kHello}).substr(0, 200);  // the rest reads as zero
  std::string noName = PlantedMark(61440);
  noName[61441] = 0x00;  // a header block whose name runs to the end of the image
  noName[61444] = 0x01;
  std::string headLate = std::string(61455, '\0');
  headLate[61449] = headLate[61450] = 0x16;  // head mark at 61451: the count at 61452 is 0
  std::string headTooLate = std::string(61455, '\0');
  headTooLate[61450] = headTooLate[61451] = 0x16;  // head mark at 61452
  std::string lastByteSync = EmptyQdImage();
  lastByteSync[4] = 2;
  lastByteSync[9] = 0x55;  // no block framing at offset 8
  lastByteSync[61454] = 0x16;
  std::string headerAtEnd = PlantedMark(61451);
  headerAtEnd[61452] = 0x00;  // type 0: the header's type byte would lie past the end

  struct Case {
    const char* what;
    std::string image;
    int status;
    std::string out;
  };
  const Case cases[] = {
      {"empty file", "", 6, damaged},
      {"fill only", Repeat(0x55, 61455), 6, damaged},
      {"count beyond the files", QdImage({kHello}, 4), 6,
       "DIRECTORY OF QD:\n BTX  \"HELLO\"\n" + damaged},
      {"odd count beyond the files", QdImage({kHello}, 3), 6,
       "DIRECTORY OF QD:\n BTX  \"HELLO\"\n" + damaged},
      {"truncated image", truncated, 0, "DIRECTORY OF QD:\n BTX  \"HELLO\"\nReady\n"},
      {"data block mark at 61451", PlantedMark(61451), 0, "DIRECTORY OF QD:\nReady\n"},
      {"header block mark at 61451", headerAtEnd, 6, "DIRECTORY OF QD:\n" + damaged},
      {"mark at 61452", PlantedMark(61452), 6, "DIRECTORY OF QD:\n" + damaged},
      {"mark behind the last byte", PlantedMark(61455), 6, "DIRECTORY OF QD:\n" + damaged},
      {"half a pair at the last byte", lastByteSync, 6, "DIRECTORY OF QD:\n" + damaged},
      {"name without CR", noName, 0,
       "DIRECTORY OF QD:\n OBJ  \"" + noName.substr(61445) + "\"\nReady\n"},
      {"head mark at 61451", headLate, 0, "DIRECTORY OF QD:\nReady\n"},
      {"head mark at 61452", headTooLate, 6, damaged},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write("MZ700.qd", c.image);
    SCOPED_TRACE(c.what);
    ExpectRun(Drasil(dir, {"dir"}), c.status, kDrasilBanner + c.out);
    ExpectFiles(dir, {{"MZ700.qd", c.image}});
  }
}

TEST(DrasilAdd, AppendsEachFileBehindThePreviousOne) {
  TempDir dir;
  ExpectRun(Drasil(dir, {"format"}), 0, kDrasilBanner + "Format\n");
  std::string comment = Counting(104, 0x40);
  std::string first = Mzf(1, "LOADER", Counting(300), 0x1200, 0x1234, comment);
  // The name is taken with what stands behind its CR; the sync pair in the data is not a block.
  std::string secondName = "PIC\rJUNK\x16\x16\xA5\r\r\r\r\r\r";
  std::string secondData = Bytes({0x00, 0x16, 0x16, 0xA5, 0x00, 0x40}) + Counting(20);
  std::string second = Mzf(10, secondName, secondData, 0xC000, 0xC003);
  dir.Write("first.mzf", first);
  dir.Write("second.mzf", second);

  ExpectRun(Drasil(dir, {"add", "first.mzf", "ignored"}), 0, AddOutput("first.mzf"));
  std::vector<QdFile> stored = {DrasilStored(1, "LOADER", Counting(300), 0x1200, 0x1234, comment)};
  ExpectFiles(dir, {{"MZ700.qd", QdImage(stored)}, {"first.mzf", first}, {"second.mzf", second}});

  ExpectRun(Drasil(dir, {"add", "second.mzf"}), 0, AddOutput("second.mzf"));
  stored.push_back(DrasilStored(10, secondName, secondData, 0xC000, 0xC003));
  std::string image = QdImage(stored);
  EXPECT_EQ(image[4], 4);
  ExpectFiles(dir, {{"MZ700.qd", image}, {"first.mzf", first}, {"second.mzf", second}});

  ExpectRun(Drasil(dir, {"dir"}), 0,
            kDrasilBanner + "DIRECTORY OF QD:\n OBJ  \"LOADER\"\n SYS  \"PIC\"\nReady\n");
}

TEST(DrasilAdd, TakesTheDataLengthFromTheFileAndTheHeaderFromSize) {
  struct Case {
    const char* what;
    std::string mzf;
    std::string stored;  // the blocks expected at offset 8
  };
  // Size 10, but 20 bytes follow the header: all 20 are stored, the header keeps 10.
  std::string longer = MzfHeader(1, "LONGER", 10, 0x1200, 0x1200) + Counting(20);
  std::string longerBlocks = QdFileBlocks(DrasilStored(1, "LONGER", Counting(20)));
  longerBlocks.replace(7 + 20, 2, Le16(10));
  // Size 0: bytes 18 to 63 of the MZF header go over unchanged, and type 5 stays 5.
  std::string raw = Bytes({5}) + Name17("RAW") + Le16(0) + Counting(108, 20);
  std::string rawBlocks = QdFileBlocks(DrasilStored(5, "RAW", Counting(16)));
  rawBlocks.replace(7 + 18, 46, raw.substr(18, 46));
  // Size 0 and nothing behind the header: an empty data block.
  std::string bare = MzfHeader(2, "BARE", 0, 0, 0);
  std::string bareBlocks = QdFileBlocks(DrasilStored(2, "BARE", "", 0, 0));
  const Case cases[] = {
      {"type 5 with data becomes 2", Mzf(5, "RB", "abc", 0x6BCF, 0),
       QdFileBlocks(DrasilStored(2, "RB", "abc", 0x6BCF, 0))},
      {"file longer than Size", longer, longerBlocks},
      {"Size 0 copies the header", raw + Counting(16), rawBlocks},
      {"header only", bare, bareBlocks},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write("MZ700.qd", EmptyQdImage());
    dir.Write("f.mzf", c.mzf);
    SCOPED_TRACE(c.what);
    ExpectRun(Drasil(dir, {"add", "f.mzf"}), 0, AddOutput("f.mzf"));
    std::string image = EmptyQdImage();
    image.replace(8, c.stored.size(), c.stored);
    image[4] = 2;
    ExpectFiles(dir, {{"MZ700.qd", image}, {"f.mzf", c.mzf}});
  }
}

TEST(DrasilAdd, SpaceRuleAndSizeLimits) {
  // One stored file puts the append position at 8 + 84 + 61249 = 61341.
  const std::string nearlyFull = QdImage({DrasilStored(1, "FILLER", Repeat(0xE5, 61249))});
  struct Case {
    const char* what;
    std::string image;
    long fileLength;
    std::string message;  // "" when the file is stored
  };
  const Case cases[] = {
      {"61461 bytes at 8 fit", EmptyQdImage(), 61461, ""},
      {"61462 bytes at 8 do not", EmptyQdImage(), 61462,
       "file f.mzf is to big, only 61447 bytes free\n"},
      {"65535 bytes", EmptyQdImage(), 65535, "file f.mzf is to big, only 61447 bytes free\n"},
      {"65536 bytes", EmptyQdImage(), 65536, "file f.mzf is to big, only 61447 bytes free\n"},
      {"70000 bytes", EmptyQdImage(), 70000, "file f.mzf is to big, only 61447 bytes free\n"},
      {"128 bytes at 61341 fit", nearlyFull, 128, ""},
      {"129 bytes at 61341 do not", nearlyFull, 129, "file f.mzf is to big, only 114 bytes free\n"},
      {"append position past the end", PlantedMark(61451), 128,
       "file f.mzf is to big, only 0 bytes free\n"},
      {"127 bytes", EmptyQdImage(), 127, "file f.mzf is not a MZF file\n"},
      {"empty file", EmptyQdImage(), 0, "file f.mzf is not a MZF file\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    size_t dataLength = c.fileLength >= 128 ? static_cast<size_t>(c.fileLength) - 128 : 0;
    std::string data = Counting(dataLength, 7);
    std::string mzf = c.fileLength >= 128
                          ? MzfHeader(1, "F", static_cast<int>(dataLength & 0xFFFF), 0, 0) + data
                          : Repeat(0x01, static_cast<size_t>(c.fileLength));
    dir.Write("MZ700.QD", c.image);
    dir.Write("f.mzf", mzf);
    SCOPED_TRACE(c.what);
    ExpectRun(Drasil(dir, {"add", "f.mzf"}), 0, AddOutput("f.mzf", c.message));
    std::string expected = c.image;
    if (c.message.empty()) {
      size_t at = 8 + (c.image == nearlyFull ? 84 + 61249 : 0);
      std::string blocks = QdFileBlocks(DrasilStored(1, "F", data, 0, 0));
      ASSERT_LE(at + blocks.size(), 61425u + 1);
      expected.replace(at, blocks.size(), blocks);
      expected[4] = static_cast<char>(expected[4] + 2);
      EXPECT_EQ(expected.substr(61451), Bytes({'C', 'R', 'C', 0}));
    }
    ExpectFiles(dir, {{"MZ700.QD", expected}, {"f.mzf", mzf}});
  }
}

TEST(DrasilAdd, RefusesAFurtherFileWhenTheBlockCountWouldWrap) {
  auto emptyFiles = [](int count) {
    std::vector<QdFile> files;
    for (int i = 0; i < count; ++i) files.push_back(DrasilStored(1, "E" + std::to_string(i), ""));
    return files;
  };
  const std::string small = Mzf(1, "SMALL", "abc");
  struct Case {
    const char* what;
    std::string image;
    std::string mzf;
    std::string message;
  };
  const Case cases[] = {
      {"count 254", QdImage(emptyFiles(127)), small, "file f.mzf not added, directory full\n"},
      {"count 255", QdImage(emptyFiles(128), 255), small, "file f.mzf not added, directory full\n"},
      {"size checked first", QdImage(emptyFiles(127)), Repeat(0, 65536),
       "file f.mzf is to big, only " + std::to_string(61455 - 8 - 127 * 84) + " bytes free\n"},
      {"MZF check first", QdImage(emptyFiles(127)), Repeat(0, 100),
       "file f.mzf is not a MZF file\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write("MZ700.QD", c.image);
    dir.Write("f.mzf", c.mzf);
    SCOPED_TRACE(c.what);
    ExpectRun(Drasil(dir, {"add", "f.mzf"}), 0, AddOutput("f.mzf", c.message));
    ExpectFiles(dir, {{"MZ700.QD", c.image}, {"f.mzf", c.mzf}});
  }

  // Count 252 still takes one: the 127th file makes it 254.
  TempDir dir;
  dir.Write("MZ700.QD", QdImage(emptyFiles(126)));
  dir.Write("f.mzf", small);
  ExpectRun(Drasil(dir, {"add", "f.mzf"}), 0, AddOutput("f.mzf"));
  std::vector<QdFile> files = emptyFiles(126);
  files.push_back(DrasilStored(1, "SMALL", "abc"));
  ExpectFiles(dir, {{"MZ700.QD", QdImage(files)}, {"f.mzf", small}});
}

TEST(DrasilAdd, ReadsUpperCaseNameFirstAndWritesBackToTheFileItRead) {
  const std::string lower = QdImage({DrasilStored(1, "LOWER", "l")});
  const std::string upper = QdImage({DrasilStored(1, "UPPER", "u")});
  const std::string mzf = Mzf(1, "NEW", "n");
  const QdFile added = DrasilStored(1, "NEW", "n");
  const std::string lowerAfter = QdImage({DrasilStored(1, "LOWER", "l"), added});
  const std::string upperAfter = QdImage({DrasilStored(1, "UPPER", "u"), added});
  struct Case {
    const char* what;
    const char* lowerFile;  // nullptr: absent, "": a directory
    const char* upperFile;
    int status;
    std::string message;
    std::map<std::string, std::string> after;
  };
  const Case cases[] = {
      {"lower only", "l", nullptr, 0, "", {{"MZ700.qd", lowerAfter}}},
      {"upper only", nullptr, "u", 0, "", {{"MZ700.QD", upperAfter}}},
      {"both", "l", "u", 0, "", {{"MZ700.qd", lower}, {"MZ700.QD", upperAfter}}},
      {"upper is a directory", "l", "", 0, "", {{"MZ700.qd", lowerAfter}, {"MZ700.QD", "<dir>"}}},
      {"neither", nullptr, nullptr, 3, "file MZ700.QD not found\n", {}},
      {"upper is a directory, no lower", nullptr, "", 3, "file MZ700.QD not found\n",
       {{"MZ700.QD", "<dir>"}}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    if (c.lowerFile != nullptr) dir.Write("MZ700.qd", lower);
    if (c.upperFile != nullptr) {
      if (*c.upperFile == '\0') {
        dir.MakeDir("MZ700.QD");
      } else {
        dir.Write("MZ700.QD", upper);
      }
    }
    dir.Write("new.mzf", mzf);
    SCOPED_TRACE(c.what);
    ExpectRun(Drasil(dir, {"add", "new.mzf"}), c.status, AddOutput("new.mzf", c.message));
    std::map<std::string, std::string> after = c.after;
    after["new.mzf"] = mzf;
    ExpectFiles(dir, after);
  }
}

TEST(DrasilAdd, MissingOrUnreadableMzfFileLeavesTheImage) {
  for (bool asDirectory : {false, true}) {
    TempDir dir;
    std::string image = QdImage({kHello});
    dir.Write("MZ700.QD", image);
    std::map<std::string, std::string> files = {{"MZ700.QD", image}};
    if (asDirectory) {
      dir.MakeDir("game.mzf");
      files["game.mzf"] = "<dir>";
    }
    ExpectRun(Drasil(dir, {"add", "game.mzf"}), 5,
              AddOutput("game.mzf", "file game.mzf not found\n"));
    ExpectFiles(dir, files);
  }
}

TEST(DrasilAdd, DamagedImageIsReportedBeforeTheMzfFileIsOpened) {
  // A block whose length carries the 16-bit cursor past 65535 sends it back into the blocks
  // already walked: a file added there would overwrite them. Here HELLO's data block claims
  // 65520 bytes, and a packer image holds a file that ends beyond 64 KiB.
  std::string wrapped = QdImage({kHello});
  wrapped.replace(8 + 74 + 5, 2, Le16(0xFFF0));
  const std::string beyond64k = PandrelImage({PandrelStored(1, "BIG", Counting(65535))});
  struct Case {
    const char* what;
    const char* imageName;
    std::string image;
    bool mzfPresent;
  };
  const Case cases[] = {
      {.what = "count beyond the files", .imageName = "MZ700.QD",
       .image = QdImage({kHello}, 4), .mzfPresent = true},
      {.what = "empty image", .imageName = "MZ700.QD",
       .image = "", .mzfPresent = true},
      {.what = "no sync anywhere", .imageName = "MZ700.qd",
       .image = Repeat(0xAA, 61455), .mzfPresent = true},
      {.what = "mark at 61452", .imageName = "MZ700.QD",
       .image = PlantedMark(61452), .mzfPresent = true},
      {.what = "mark behind the last byte", .imageName = "MZ700.QD",
       .image = PlantedMark(61455), .mzfPresent = true},
      {.what = "missing MZF file", .imageName = "MZ700.qd",
       .image = QdImage({kHello}, 5), .mzfPresent = false},
      {.what = "a block length that wraps the cursor", .imageName = "MZ700.QD",
       .image = wrapped, .mzfPresent = true},
      {.what = "a packer image with a file beyond 64 KiB", .imageName = "MZ700.QD",
       .image = beyond64k, .mzfPresent = true},
  };
  const std::string mzf = Mzf(1, "NEW", "n");
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write(c.imageName, c.image);
    std::map<std::string, std::string> files = {{c.imageName, c.image}};
    if (c.mzfPresent) {
      dir.Write("new.mzf", mzf);
      files["new.mzf"] = mzf;
    }
    SCOPED_TRACE(c.what);
    ExpectRun(Drasil(dir, {"add", "new.mzf"}), 6,
              AddOutput("new.mzf", std::string("error: ") + c.imageName + " is damaged\n"));
    ExpectFiles(dir, files);
  }
}

TEST(DrasilAdd, RefusedFileLeavesALongerPackerImageWhole) {
  std::string packed = PandrelImage({PandrelStored(1, "PACKED", Counting(1000))});
  ASSERT_EQ(packed.size(), 61471u);
  TempDir dir;
  dir.Write("MZ700.QD", packed);
  std::string big = MzfHeader(1, "BIG", 61000, 0, 0) + Repeat(0, 61000);
  dir.Write("big.mzf", big);
  ExpectRun(Drasil(dir, {"add", "big.mzf"}), 0,
            AddOutput("big.mzf", "file big.mzf is to big, only 60363 bytes free\n"));
  ExpectFiles(dir, {{"MZ700.QD", packed}, {"big.mzf", big}});
}

TEST(DrasilAdd, FailedWriteReportsAndLeavesTheOldImage) {
  TempDir dir;
  std::string image = QdImage({kHello});
  dir.Write("MZ700.QD", image);
  std::string mzf = Mzf(1, "NEW", "n");
  dir.Write("new.mzf", mzf);
  RunOptions small;
  small.fileSizeLimit = 1000;
  ExpectRun(Drasil(dir, {"add", "new.mzf"}, small), 4,
            AddOutput("new.mzf", "error: cannot write MZ700.QD\n"));
  ExpectFiles(dir, {{"MZ700.QD", image}, {"new.mzf", mzf}});
}

TEST(DrasilAdd, FollowsASymbolicLinkAtTheImageName) {
  TempDir dir;
  dir.MakeDir("disks");
  dir.Write("disks/side-b.qd", EmptyQdImage());
  ASSERT_EQ(symlink("disks/side-b.qd", dir.Path("MZ700.QD").c_str()), 0);
  std::string mzf = Mzf(1, "NEW", "n");
  dir.Write("new.mzf", mzf);
  ExpectRun(Drasil(dir, {"add", "new.mzf"}), 0, AddOutput("new.mzf"));
  ExpectFiles(dir, {{"MZ700.QD", "-> disks/side-b.qd"}, {"disks", "<dir>"}, {"new.mzf", mzf}});
  EXPECT_EQ(FirstDifference(dir.Read("disks/side-b.qd"), QdImage({DrasilStored(1, "NEW", "n")})),
            "");
}
