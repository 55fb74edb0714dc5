// Checks of a run and of the files it leaves, reporting the first differing byte instead of
// printing whole images; the programs' fixed texts and the fixture builders come with it.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/media.h"
#include "tests/support/output.h"
#include "tests/support/process.h"

// Where the first difference lies, or "" when the two are equal.
inline std::string FirstDifference(const std::string& actual, const std::string& expected) {
  if (actual == expected) return "";
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  std::string text = "length " + std::to_string(actual.size()) + " (expected " +
                     std::to_string(expected.size()) + "), first difference at offset " +
                     std::to_string(at);
  if (at < actual.size() && at < expected.size()) {
    text += ": " + std::to_string(static_cast<unsigned char>(actual[at])) + " (expected " +
            std::to_string(static_cast<unsigned char>(expected[at])) + ")";
  }
  return text;
}

// The names of a directory's entries, in order, each followed by a blank.
inline std::string EntryNames(const std::map<std::string, std::string>& files) {
  std::string names;
  for (const auto& entry : files) names += entry.first + " ";
  return names;
}

// Every entry of the directory, each compared byte for byte.
inline void ExpectFiles(const TempDir& dir, const std::map<std::string, std::string>& expected) {
  std::map<std::string, std::string> actual = dir.Files();
  EXPECT_EQ(EntryNames(actual), EntryNames(expected));
  for (const auto& entry : expected) {
    auto found = actual.find(entry.first);
    if (found == actual.end()) continue;
    EXPECT_EQ(FirstDifference(found->second, entry.second), "") << "file " << entry.first;
  }
}

inline void ExpectRun(const RunResult& run, int status, const std::string& out) {
  EXPECT_EQ(run.status, status);
  EXPECT_EQ(run.out, out);
  EXPECT_EQ(run.err, "");
}

// Bytes 0, 1, 2 ... 255, 0, 1 ...: data in which every value turns up.
inline std::string Counting(size_t count, int start = 0) {
  std::string bytes;
  for (size_t i = 0; i < count; ++i) bytes.push_back(static_cast<char>((start + i) & 0xFF));
  return bytes;
}
