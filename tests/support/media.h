// Fixture builders: MZF files, MZT tapes and QD images made byte by byte in the tests, apart
// from the programs' own code, so that a fault in the shared library cannot hide itself.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

std::string Bytes(std::initializer_list<int> values);
std::string Le16(int value);
std::string Repeat(int byte, size_t count);

// A 17-byte name field: the name, then CR fill (a 17-character name has no CR).
std::string Name17(const std::string& name);

// A 128-byte MZF header; `name` is padded by Name17 unless it is already 17 bytes long.
std::string MzfHeader(int attribute, const std::string& name, int size, int load, int exec,
                      const std::string& comment = "");
// A whole MZF file: header with Size = data length, then the data.
std::string Mzf(int attribute, const std::string& name, const std::string& data, int load = 0x1200,
                int exec = 0x1200, const std::string& comment = "");

// QD images as the writers lay them out.
constexpr size_t kQdToolImageSize = 61455;
constexpr size_t kPackerImageSize = 61471;

struct QdFile {
  int attribute;
  std::string name;  // padded by Name17 unless 17 bytes long
  std::string data;
  int load = 0x1200;
  int exec = 0x1200;
  std::string unknown = std::string(2, '\0');
  std::string comment = std::string(38, '\0');
};

// The empty image of the QD tool: head, fill, closing "CRC", 0x00 at 61454.
std::string EmptyQdImage();
// Lays out files from offset 8 on with the given block count (-1 for two per file).
std::string QdImage(const std::vector<QdFile>& files, int blocks = -1);
// The 74 + 10 + L bytes of one stored file.
std::string QdFileBlocks(const QdFile& file);
