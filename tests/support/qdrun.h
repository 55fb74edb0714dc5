// Helpers for the QD tool and packer tests: expected images, MZF pieces, and checks of a run
// that report the first differing byte instead of printing whole images.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/media.h"
#include "tests/support/process.h"

inline const std::string kDrasilBanner = "\nDrasil V 0.30\n\n";
inline const std::string kPandrelHead =
    "\nPandrel ver. 1.2\n\nDirectory of MZQ:          Begin    Len Start  Exec\n";

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

// Every entry of the directory, each compared byte for byte.
inline void ExpectFiles(const TempDir& dir, const std::map<std::string, std::string>& expected) {
  std::map<std::string, std::string> actual = dir.Files();
  std::string actualNames;
  std::string expectedNames;
  for (const auto& entry : actual) actualNames += entry.first + " ";
  for (const auto& entry : expected) expectedNames += entry.first + " ";
  EXPECT_EQ(actualNames, expectedNames);
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

// A file as the QD tool stores it: the MZF comment's first 38 bytes, Unknown 0.
inline QdFile DrasilStored(int attribute, const std::string& name, const std::string& data,
                           int load = 0x1200, int exec = 0x1200, const std::string& comment = "") {
  QdFile file{attribute, name, data, load, exec};
  std::string field = comment.substr(0, 38);
  file.comment = field + Repeat(0, 38 - field.size());
  return file;
}

// The same file as the packer stores it: Unknown 0x0D 0x0D.
inline QdFile PandrelStored(int attribute, const std::string& name, const std::string& data,
                            int load = 0x1200, int exec = 0x1200, const std::string& comment = "") {
  QdFile file = DrasilStored(attribute, name, data, load, exec, comment);
  file.unknown = "\r\r";
  return file;
}

// The packer's image: 0xFF from offset 61454 to at least 61470, the files from offset 8 on, and
// two bytes of 0xFF behind the last "CRC" when it ends at offset 61471 or later.
inline std::string PandrelImage(const std::vector<QdFile>& files) {
  std::string image = EmptyQdImage();
  image[61454] = '\xFF';
  image += Repeat(0xFF, kPackerImageSize - kQdToolImageSize);
  size_t pos = 8;
  for (const QdFile& file : files) {
    std::string stored = QdFileBlocks(file);
    size_t end = pos + stored.size();
    if (end >= kPackerImageSize) image.resize(end + 2, '\xFF');
    image.replace(pos, stored.size(), stored);
    pos += stored.size();
  }
  image[4] = static_cast<char>(2 * files.size());
  return image;
}

// Bytes 0, 1, 2 ... 255, 0, 1 ...: data in which every value turns up.
inline std::string Counting(size_t count, int start = 0) {
  std::string bytes;
  for (size_t i = 0; i < count; ++i) bytes.push_back(static_cast<char>((start + i) & 0xFF));
  return bytes;
}
