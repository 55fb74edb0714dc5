#include "tests/support/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

std::string VelkorExe() { return VELKOR_EXE; }
std::string DrasilExe() { return DRASIL_EXE; }
std::string PandrelExe() { return PANDREL_EXE; }
std::string MztapeExe() { return MZTAPE_EXE; }

namespace {

void Drain(int fd, std::string* to, bool* open) {
  char chunk[4096];
  ssize_t n = read(fd, chunk, sizeof chunk);
  if (n > 0) {
    to->append(chunk, static_cast<size_t>(n));
  } else if (n == 0 || errno != EINTR) {
    *open = false;
  }
}

void RemoveTree(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return;
  if (S_ISDIR(info.st_mode)) {
    chmod(path.c_str(), 0700);
    if (DIR* dir = opendir(path.c_str())) {
      while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") RemoveTree(path + "/" + name);
      }
      closedir(dir);
    }
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

}  // namespace

RunResult RunProgram(const std::string& exe, const std::vector<std::string>& args,
                     const std::string& dir, const RunOptions& options) {
  int outPipe[2];
  int errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("pipe");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    close(outPipe[0]);
    close(outPipe[1]);
    close(errPipe[0]);
    close(errPipe[1]);
    int null = open("/dev/null", O_RDONLY);
    if (null >= 0) dup2(null, 0);
    if (chdir(dir.c_str()) != 0) _exit(126);
    rlimit cpu = {30, 30};  // a hang ends the test instead of the suite
    setrlimit(RLIMIT_CPU, &cpu);
    if (options.fileSizeLimit >= 0) {
      signal(SIGXFSZ, SIG_IGN);
      rlimit size = {static_cast<rlim_t>(options.fileSizeLimit),
                     static_cast<rlim_t>(options.fileSizeLimit)};
      setrlimit(RLIMIT_FSIZE, &size);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(exe.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  RunResult result;
  bool outOpen = true;
  bool errOpen = true;
  while (outOpen || errOpen) {
    pollfd fds[2] = {{outOpen ? outPipe[0] : -1, POLLIN, 0}, {errOpen ? errPipe[0] : -1, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (outOpen && fds[0].revents) Drain(outPipe[0], &result.out, &outOpen);
    if (errOpen && fds[1].revents) Drain(errPipe[0], &result.err, &errOpen);
  }
  close(outPipe[0]);
  close(errPipe[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/mzt.XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp");
  path_ = buffer.data();
}

TempDir::~TempDir() { RemoveTree(path_); }

void TempDir::Write(const std::string& name, const std::string& bytes) const {
  std::ofstream file(Path(name), std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write fixture " + name);
}

std::string TempDir::Read(const std::string& name) const {
  std::ifstream file(Path(name), std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void TempDir::MakeDir(const std::string& name) const { mkdir(Path(name).c_str(), 0755); }

bool TempDir::Exists(const std::string& name) const {
  struct stat info;
  return lstat(Path(name).c_str(), &info) == 0;
}

std::map<std::string, std::string> TempDir::FilesIn(const std::string& subdir) const {
  std::map<std::string, std::string> files;
  const std::string prefix = subdir.empty() ? "" : subdir + "/";
  DIR* dir = opendir(subdir.empty() ? path_.c_str() : Path(subdir).c_str());
  if (dir == nullptr) return files;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = Path(prefix + name);
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) continue;
    if (S_ISDIR(info.st_mode)) {
      files[name] = "<dir>";
    } else if (S_ISLNK(info.st_mode)) {
      char target[4096];
      ssize_t n = readlink(path.c_str(), target, sizeof target);
      files[name] = "-> " + std::string(target, n > 0 ? static_cast<size_t>(n) : 0);
    } else {
      files[name] = Read(prefix + name);
    }
  }
  closedir(dir);
  return files;
}
