// Running the built programs in a directory of their own, as a user would.
#pragma once

#include <map>
#include <string>
#include <vector>

struct RunOptions {
  long fileSizeLimit = -1;  // RLIMIT_FSIZE for the program (SIGXFSZ ignored); -1 for none
};

struct RunResult {
  int status = -1;  // exit status, or 128 + signal number
  std::string out;  // standard output
  std::string err;  // standard error: empty for every clean run
};

RunResult RunProgram(const std::string& exe, const std::vector<std::string>& args,
                     const std::string& dir, const RunOptions& options = {});

// A fresh temporary directory, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string Path(const std::string& name) const { return path_ + "/" + name; }
  void Write(const std::string& name, const std::string& bytes) const;
  std::string Read(const std::string& name) const;
  void MakeDir(const std::string& name) const;
  bool Exists(const std::string& name) const;
  // Every entry of the directory: regular files with their bytes, directories as "<dir>",
  // symbolic links as "-> target".
  std::map<std::string, std::string> Files() const { return FilesIn(""); }
  // The same for a directory inside this one ("" for this one itself).
  std::map<std::string, std::string> FilesIn(const std::string& subdir) const;

 private:
  std::string path_;
};

// The programs under test.
std::string VelkorExe();
std::string DrasilExe();
std::string PandrelExe();
std::string MztapeExe();
