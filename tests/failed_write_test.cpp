// Writes that fail, end to end: a directory standing at an output's name, or a file-size limit
// (RLIMIT_FSIZE, SIGXFSZ ignored) that stops a write part-way. Each program reports the output
// it could not write, leaves no partial or temporary file behind, and leaves whatever stood at
// the name as it was. The plain cases (a directory at each name, a first write cut short) are
// in the tests of each program; these are the rest.
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

using Files = std::map<std::string, std::string>;

// Lays out `files` in `dir`: "<dir>" makes a directory, "-> target" a symbolic link, anything
// else a file with those bytes. Names may lie in a subdirectory made earlier in the map's order.
void Lay(const TempDir& dir, const Files& files) {
  for (const auto& [name, bytes] : files) {
    if (bytes == "<dir>") {
      dir.MakeDir(name);
    } else if (bytes.rfind("-> ", 0) == 0) {
      ASSERT_EQ(symlink(bytes.substr(3).c_str(), dir.Path(name).c_str()), 0) << name;
    } else {
      dir.Write(name, bytes);
    }
  }
}

// The files of `all` that lie directly in the directory, or in `subdir`.
Files Within(const Files& all, const std::string& subdir) {
  Files files;
  const std::string prefix = subdir.empty() ? "" : subdir + "/";
  for (const auto& [name, bytes] : all) {
    if (name.rfind(prefix, 0) != 0) continue;
    std::string rest = name.substr(prefix.size());
    if (rest.find('/') == std::string::npos) files[rest] = bytes;
  }
  return files;
}

// Every entry of the directory and of its subdirectory `subdir` (if any), byte for byte.
void ExpectTree(const TempDir& dir, const Files& expected, const std::string& subdir = "") {
  ExpectFiles(dir, Within(expected, ""));
  if (subdir.empty()) return;
  Files actual = dir.FilesIn(subdir);
  Files wanted = Within(expected, subdir);
  std::string actualNames;
  std::string wantedNames;
  for (const auto& entry : actual) actualNames += entry.first + " ";
  for (const auto& entry : wanted) wantedNames += entry.first + " ";
  EXPECT_EQ(actualNames, wantedNames) << "in " << subdir;
  for (const auto& [name, bytes] : wanted) {
    EXPECT_EQ(FirstDifference(actual[name], bytes), "") << subdir << "/" << name;
  }
}

RunOptions Limit(long bytes) {
  RunOptions options;
  options.fileSizeLimit = bytes;
  return options;
}

}  // namespace

// Velkor: the .btx file blocked by a directory or cut short, and a .mzf or .bas cut short where an
// older file of that name stands, which stays as it was. The run goes on, status 0.
TEST(FailedWrite, VelkorEveryOutputFile) {
  // A listing of nine bytes for a program of 3000: a control byte ends the only line at once.
  const std::string longProgram =
      Record(10, Bytes({0x0C}) + Repeat('A', 3000) + Bytes({0x00})) + Bytes({0, 0});
  const std::string shortProgram = Record(10, Bytes({0x8F, 0x00})) + Bytes({0, 0});
  // Tokens that spell out long: a listing of over 1000 bytes for 300.
  const std::string wordyProgram = Record(10, Repeat(0xE8, 300) + Bytes({0x00})) + Bytes({0, 0});
  const std::string shortTape = Mzf(2, "PROG", shortProgram);
  const std::string longTape = Mzf(2, "PROG", longProgram);
  const std::string wordyTape = Mzf(2, "PROG", wordyProgram);
  const std::string dataTape = Mzf(1, "DATA", Counting(3000));

  struct Case {
    const char* what;
    std::string tapeName;
    std::string tape;
    Files before;  // besides the tape
    long limit;
    std::string type;
    size_t size;
    std::string messages;  // behind the entry line
    Files after;           // besides the tape
  };
  const Case cases[] = {
      {".btx: a directory at its name", "tape.mzt", shortTape, {{"prog.btx", "<dir>"}}, -1, "BTX",
       shortProgram.size(), "ERROR: Cannot write file 'prog.btx'!\n",
       {{"prog.mzf", shortTape}, {"prog.btx", "<dir>"}, {"prog.bas", "10 PRINT\r\n"}}},
      // The tape is named like its entry's .mzf, which is therefore not written; the .btx then
      // meets the limit and the short listing still fits.
      {".btx: cut short", "prog.mzf", longTape, {}, 2000, "BTX", longProgram.size(),
       "ERROR: File 'prog.mzf' is an input file, not replaced!\n"
       "ERROR: Cannot write file 'prog.btx'!\n",
       {{"prog.bas", "10 ?0c?\r\n"}}},
      {".mzf: cut short, an older one stands there", "tape.mzt", dataTape,
       {{"data.mzf", "older"}}, 2000, "OBJ", 3000, "ERROR: Cannot write file 'data.mzf'!\n",
       {{"data.mzf", "older"}}},
      {".bas: cut short, an older one stands there", "tape.mzt", wordyTape,
       {{"prog.bas", "10 OLD\r\n"}}, 1000, "BTX", wordyProgram.size(),
       "ERROR: Cannot write file 'prog.bas'!\n",
       {{"prog.mzf", wordyTape}, {"prog.btx", wordyProgram}, {"prog.bas", "10 OLD\r\n"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    dir.Write(c.tapeName, c.tape);
    Lay(dir, c.before);
    RunResult run = RunProgram(VelkorExe(), {"-t", c.tapeName}, dir.path(), Limit(c.limit));
    ExpectRun(run, 0,
              VelkorFileBanner(c.tapeName) + "Directory of MZT:\n" +
                  VelkorEntryLine(c.type.c_str(), c.type == "OBJ" ? "DATA" : "PROG", c.size) +
                  c.messages + "Length of data: " + std::to_string(c.size) + " Bytes.\n\n");
    Files after = c.after;
    after[c.tapeName] = c.tape;
    ExpectTree(dir, after);
  }
}

// Drasil: the image that "format" or "add" writes, cut short. The old image stays byte for byte
// as it was, whichever name or link it was found under and however long it is; status 4.
TEST(FailedWrite, DrasilImage) {
  const std::string image = QdImage({DrasilStored(2, "HELLO", "10 PRINT", 0x6BCF, 0)});
  const std::string packed = PandrelImage({PandrelStored(1, "PACKED", Counting(5000))});
  const std::string mzf = Mzf(1, "NEW", "n");
  const std::string formatFailed = kDrasilBanner + "Format\nerror: cannot write MZ700.qd\n";
  auto addFailed = [](const std::string& imageName) {
    return kDrasilBanner + "try to add new.mzf\nerror: cannot write " + imageName + "\n";
  };

  struct Case {
    const char* what;
    std::vector<std::string> args;
    Files before;  // and after: nothing changes
    std::string out;
  };
  const Case cases[] = {
      {"format, no image yet", {"format"}, {}, formatFailed},
      {"format through a symbolic link",
       {"format"},
       {{"disks", "<dir>"}, {"disks/side-a.qd", image}, {"MZ700.qd", "-> disks/side-a.qd"}},
       formatFailed},
      {"add to the lower-case image", {"add", "new.mzf"},
       {{"MZ700.qd", image}, {"new.mzf", mzf}}, addFailed("MZ700.qd")},
      {"add to a packer image longer than 61455 bytes", {"add", "new.mzf"},
       {{"MZ700.QD", packed}, {"new.mzf", mzf}}, addFailed("MZ700.QD")},
      {"add through a symbolic link",
       {"add", "new.mzf"},
       {{"disks", "<dir>"}, {"disks/side-b.qd", image}, {"MZ700.QD", "-> disks/side-b.qd"},
        {"new.mzf", mzf}},
       addFailed("MZ700.QD")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    Lay(dir, c.before);
    ExpectRun(RunProgram(DrasilExe(), c.args, dir.path(), Limit(1000)), 4, c.out);
    ExpectTree(dir, c.before, "disks");
  }
}

// Pandrel: "QDisk.mzq" cut short. Whatever stood there stays as it was, also behind a link and
// when the new image is longer than the standard one; status 2.
TEST(FailedWrite, PandrelImage) {
  const std::string one = Mzf(1, "ONE", "1");
  const std::string big1 = Mzf(1, "BIG1", Counting(40000));
  const std::string big2 = Mzf(1, "BIG2", Counting(40000, 7));
  const std::string old = PandrelImage({PandrelStored(1, "OLD", "old")});
  const std::string failed = "ERROR: Cannot write file 'QDisk.mzq'!\n";
  const std::string oneLines = kPandrelHead +
                               " 1: 'ONE'                 000008   0001  1200  1200\n"
                               "                     End: 00005d\n";
  const std::string bigLines = kPandrelHead +
                               " 1: 'BIG1'                000008   9c40  1200  1200\n"
                               "WARNING: The file exceeds the length of the standard image.\n"
                               " 2: 'BIG2'                009c9c   9c40  1200  1200\n"
                               "                     End: 013930\n";

  struct Case {
    const char* what;
    std::vector<std::string> args;
    Files before;  // and after
    long limit;
    std::string out;
  };
  const Case cases[] = {
      {"no image yet", {"one.mzf"}, {{"one.mzf", one}}, 1000, oneLines + failed},
      {"through a symbolic link",
       {"-v", "one.mzf"},
       {{"out", "<dir>"}, {"out/disk.mzq", old}, {"QDisk.mzq", "-> out/disk.mzq"}, {"one.mzf", one}},
       1000,
       oneLines + failed},
      // 80178 bytes, cut at 70000: past the length of every image that fits a disk side.
      {"an image longer than the standard one",
       {"big1.mzf", "big2.mzf"},
       {{"big1.mzf", big1}, {"big2.mzf", big2}, {"QDisk.mzq", old}},
       70000,
       bigLines + failed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    Lay(dir, c.before);
    ExpectRun(RunProgram(PandrelExe(), c.args, dir.path(), Limit(c.limit)), 2, c.out);
    ExpectTree(dir, c.before, "out");
  }
}
