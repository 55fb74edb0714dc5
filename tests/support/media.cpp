#include "tests/support/media.h"

#include <stdexcept>

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes.push_back(static_cast<char>(value));
  return bytes;
}

std::string Le16(int value) { return Bytes({value & 0xFF, (value >> 8) & 0xFF}); }

std::string Repeat(int byte, size_t count) { return std::string(count, static_cast<char>(byte)); }

std::string Name17(const std::string& name) {
  if (name.size() > 17) throw std::invalid_argument("name longer than 17 bytes");
  return name + Repeat(0x0D, 17 - name.size());
}

std::string MzfHeader(int attribute, const std::string& name, int size, int load, int exec,
                      const std::string& comment) {
  std::string header = Bytes({attribute}) + Name17(name) + Le16(size) + Le16(load) + Le16(exec);
  std::string field = comment.substr(0, 104);
  return header + field + Repeat(0, 104 - field.size());
}

std::string Mzf(int attribute, const std::string& name, const std::string& data, int load, int exec,
                const std::string& comment) {
  return MzfHeader(attribute, name, static_cast<int>(data.size()), load, exec, comment) + data;
}

std::string EmptyQdImage() {
  std::string image = Bytes({0x00, 0x16, 0x16, 0xA5, 0x00, 'C', 'R', 'C', 0x00, 0x16, 0x16, 0xA5});
  for (size_t offset = 12; offset <= 61450; ++offset) image.push_back(offset % 2 == 0 ? '\x55' : '\xAA');
  image += "CRC";
  image.push_back('\0');
  return image;
}

std::string QdFileBlocks(const QdFile& file) {
  std::string header = Bytes({file.attribute}) + Name17(file.name) + file.unknown +
                       Le16(static_cast<int>(file.data.size())) + Le16(file.load) + Le16(file.exec) +
                       file.comment;
  if (header.size() != 64) throw std::invalid_argument("QD header must be 64 bytes");
  return Bytes({0x00, 0x16, 0x16, 0xA5, 0x00, 0x40, 0x00}) + header + "CRC" +
         Bytes({0x00, 0x16, 0x16, 0xA5, 0x05}) + Le16(static_cast<int>(file.data.size())) +
         file.data + "CRC";
}

std::string QdImage(const std::vector<QdFile>& files, int blocks) {
  std::string image = EmptyQdImage();
  size_t pos = 8;
  for (const QdFile& file : files) {
    std::string stored = QdFileBlocks(file);
    if (pos + stored.size() > image.size()) throw std::invalid_argument("files do not fit");
    image.replace(pos, stored.size(), stored);
    pos += stored.size();
  }
  image[4] = static_cast<char>(blocks < 0 ? 2 * files.size() : static_cast<size_t>(blocks));
  return image;
}

QdFile DrasilStored(int attribute, const std::string& name, const std::string& data, int load,
                    int exec, const std::string& comment) {
  QdFile file{attribute, name, data, load, exec};
  std::string field = comment.substr(0, 38);
  file.comment = field + Repeat(0, 38 - field.size());
  return file;
}

QdFile PandrelStored(int attribute, const std::string& name, const std::string& data, int load,
                     int exec, const std::string& comment) {
  QdFile file = DrasilStored(attribute, name, data, load, exec, comment);
  file.unknown = "\r\r";
  return file;
}

std::string PandrelImage(const std::vector<QdFile>& files) {
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

std::string RamHeader(int ramSize, int dataLength) {
  return Le16(ramSize) + Le16(dataLength) + Repeat(0, 4) + Bytes({8, 9, 10, 11, 12, 13, 14, 15});
}

std::string RamEntry(const RamFile& file, int unread) {
  std::string body = Repeat(unread, 3) + Bytes({file.attribute}) + Name17(file.name) +
                     Repeat(unread, 2) + Le16(static_cast<int>(file.data.size())) +
                     Le16(file.load) + Le16(file.exec) + Repeat(unread, 41) + file.data;
  return Le16(file.length < 0 ? static_cast<int>(body.size()) : file.length) + body;
}

std::string RamDisk(int ramSize, int dataLength, const std::vector<RamFile>& files, bool ended,
                    int unread) {
  std::string image = RamHeader(ramSize, dataLength);
  for (const RamFile& file : files) image += RamEntry(file, unread);
  if (ended) image += Le16(0);
  return image;
}

int Bits(const std::string& bytes) {
  int bits = 0;
  for (unsigned char c : bytes) bits += __builtin_popcount(c);
  return bits;
}

std::string Written(int attribute, const std::string& name, const std::string& data, int load,
                    int exec) {
  return MzfHeader(attribute, name, static_cast<int>(data.size()), load, exec) + data;
}

std::string RomDisk(const std::string& program, int load, int exec) {
  std::string head = Le16(static_cast<int>(program.size())) + Le16(load) + Le16(exec) +
                     Le16(Bits(program));
  return head + Bytes({Bits(head)}) + program;
}

std::string Record(int number, const std::string& text) {
  return Le16(static_cast<int>(4 + text.size())) + Le16(number) + text;
}
