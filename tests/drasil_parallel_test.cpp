// Many `drasil add` runs on one image at the same time, as a script that starts them in the
// background does: each add waits for the others, so every file ends up on the image.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "tests/support/expect.h"
#include "tests/support/media.h"
#include "tests/support/process.h"

namespace {

constexpr int kAdds = 16;
constexpr int kRounds = 3;

std::string Number(int i) {
  return std::string(1, static_cast<char>('0' + i / 10)) + static_cast<char>('0' + i % 10);
}

std::string InputName(int i) { return "in" + Number(i) + ".mzf"; }
std::string MzName(int i) { return "FILE" + Number(i); }
std::string UnpackedName(int i) { return "file" + Number(i) + ".mzf"; }
// Data of a different length and content for every file.
std::string Data(int i) { return Counting(100 + 37 * static_cast<size_t>(i), i); }
int Load(int i) { return 0x1000 + 0x100 * i; }

struct Started {
  pid_t pid;
  std::string out;  // where its standard output goes
  std::string err;
};

// Starts `drasil add <file>` for every file, each with its output in `logs`. The programs are
// held at a pipe until all of them are forked, then start together.
std::vector<Started> StartAdds(const TempDir& dir, const TempDir& logs,
                               const std::vector<std::string>& files) {
  int gate[2];
  if (pipe(gate) != 0) return {};
  const std::string exe = DrasilExe();
  std::vector<Started> started;
  for (size_t i = 0; i < files.size(); ++i) {
    Started s{-1, logs.Path("out" + std::to_string(i)), logs.Path("err" + std::to_string(i))};
    const char* argv[] = {exe.c_str(), "add", files[i].c_str(), nullptr};
    s.pid = fork();
    if (s.pid == 0) {
      int out = open(s.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int err = open(s.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
      if (chdir(dir.path().c_str()) != 0) _exit(126);
      close(gate[1]);
      char byte;
      while (read(gate[0], &byte, 1) < 0) {
      }
      close(gate[0]);
      execv(exe.c_str(), const_cast<char* const*>(argv));
      _exit(127);
    }
    started.push_back(s);
  }
  close(gate[0]);
  close(gate[1]);  // every program reads the end of the pipe now
  return started;
}

int Wait(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

TEST(DrasilAdd, ParallelAddsToOneImageKeepEveryFile) {
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    TempDir dir;
    TempDir logs;
    ASSERT_EQ(RunProgram(DrasilExe(), {"format"}, dir.path()).status, 0);
    std::map<std::string, std::string> inputs = {{"MZ700.qd", ""}};
    std::vector<std::string> files;
    for (int i = 0; i < kAdds; ++i) {
      std::string mzf = Mzf(1, MzName(i), Data(i), Load(i), Load(i) + 3);
      dir.Write(InputName(i), mzf);
      inputs[InputName(i)] = mzf;
      files.push_back(InputName(i));
    }

    std::vector<Started> started = StartAdds(dir, logs, files);
    ASSERT_EQ(started.size(), files.size());
    for (size_t i = 0; i < started.size(); ++i) {
      EXPECT_EQ(Wait(started[i].pid), 0) << files[i];
      EXPECT_EQ(logs.Read("out" + std::to_string(i)),
                kDrasilBanner + "try to add " + files[i] + "\n");
      EXPECT_EQ(logs.Read("err" + std::to_string(i)), "");
    }

    // The image and the inputs, and nothing else left in the directory.
    std::map<std::string, std::string> after = dir.Files();
    EXPECT_EQ(EntryNames(after), EntryNames(inputs));

    // Every file is listed once, in whatever order the adds took their turns.
    RunResult listing = RunProgram(DrasilExe(), {"dir"}, dir.path());
    EXPECT_EQ(listing.status, 0);
    std::vector<std::string> lines;
    std::string body = listing.out;
    const std::string head = kDrasilBanner + "DIRECTORY OF QD:\n";
    ASSERT_EQ(body.substr(0, head.size()), head);
    body = body.substr(head.size());
    for (size_t at = 0, end; (end = body.find('\n', at)) != std::string::npos; at = end + 1) {
      lines.push_back(body.substr(at, end - at));
    }
    std::vector<std::string> expectedLines = {"Ready"};
    for (int i = 0; i < kAdds; ++i) expectedLines.push_back(" OBJ  \"" + MzName(i) + "\"");
    std::sort(lines.begin(), lines.end());
    std::sort(expectedLines.begin(), expectedLines.end());
    EXPECT_EQ(lines, expectedLines);

    // And each unpacks with its own data and addresses.
    RunResult unpack = RunProgram(VelkorExe(), {"-Q", "MZ700.qd"}, dir.path());
    EXPECT_EQ(unpack.status, 0);
    for (int i = 0; i < kAdds; ++i) {
      ASSERT_TRUE(dir.Exists(UnpackedName(i))) << UnpackedName(i);
      EXPECT_EQ(dir.Read(UnpackedName(i)), Mzf(1, MzName(i), Data(i), Load(i), Load(i) + 3))
          << UnpackedName(i);
    }
  }
}
