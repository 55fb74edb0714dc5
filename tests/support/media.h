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

// A file as the QD tool stores it: the MZF comment's first 38 bytes, Unknown 0.
QdFile DrasilStored(int attribute, const std::string& name, const std::string& data,
                    int load = 0x1200, int exec = 0x1200, const std::string& comment = "");
// The same file as the packer stores it: Unknown 0x0D 0x0D.
QdFile PandrelStored(int attribute, const std::string& name, const std::string& data,
                     int load = 0x1200, int exec = 0x1200, const std::string& comment = "");
// The packer's image: 0xFF from offset 61454 to at least 61470, the files from offset 8 on, and
// two bytes of 0xFF behind the last "CRC" when it ends at offset 61471 or later.
std::string PandrelImage(const std::vector<QdFile>& files);

// RAM-disk images: a 16-byte header (RAM size, data length, 4 unread bytes, the magic bytes
// 0x08..0x0F), then entries back to back, ended by a length word of 0.
struct RamFile {
  int attribute;
  std::string name;  // padded by Name17 unless 17 bytes long
  std::string data;
  int load = 0x1200;
  int exec = 0x1200;
  int length = -1;  // the entry's length word; -1 for the true one
};
std::string RamHeader(int ramSize = 0x4000, int dataLength = 0x0C00);
// One entry: the length word, 3 unread bytes, attribute, name, 2 unread bytes, size, load, exec,
// 41 unread bytes, then the data. The unread bytes are `unread`.
std::string RamEntry(const RamFile& file, int unread = 0xEE);
std::string RamDisk(int ramSize, int dataLength, const std::vector<RamFile>& files,
                    bool ended = true, int unread = 0xEE);

// The number of set bits in `bytes`, as the ROM-disk checks count them.
int Bits(const std::string& bytes);

// The MZF file that Velkor writes for an entry: a fresh header (zero comment) and the data.
std::string Written(int attribute, const std::string& name, const std::string& data, int load,
                    int exec);

// A ROM-disk image with both checks right: size, load, exec, the bit count of the program, the
// bit count of those 8 bytes, then the program.
std::string RomDisk(const std::string& program, int load, int exec);

// A line record of a BASIC program: length word, line number, then `text` with whatever end
// it carries.
std::string Record(int number, const std::string& text);
