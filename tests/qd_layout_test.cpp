// The QD layout shared by the QD tool and the packer, checked against images built by hand.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "formats/bytes.h"
#include "formats/qd.h"
#include "tests/support/expect.h"
#include "tests/support/media.h"

namespace {

std::string AsText(const uint8_t* bytes, size_t size) {
  return std::string(reinterpret_cast<const char*>(bytes), size);
}

}  // namespace

TEST(QdLayout, HeaderFieldsSitWhereTheDiskHasThem) {
  EXPECT_EQ(offsetof(QDHeaderStr, Attribute), 0u);
  EXPECT_EQ(offsetof(QDHeaderStr, Name), 1u);
  EXPECT_EQ(offsetof(QDHeaderStr, Unknown), 18u);
  EXPECT_EQ(offsetof(QDHeaderStr, Size), 20u);
  EXPECT_EQ(offsetof(QDHeaderStr, LoadAddress), 22u);
  EXPECT_EQ(offsetof(QDHeaderStr, ExecAddress), 24u);
  EXPECT_EQ(offsetof(QDHeaderStr, Comment), 26u);
}

TEST(QdLayout, EmptyImageMatchesTheHandBuiltOneAndLeavesTheLastByte) {
  static uint8_t image[kQdImageSize + 16];
  std::memset(image, 0x77, sizeof image);
  LayOutEmptyQdImage(image);
  std::string expected = EmptyQdImage();
  EXPECT_EQ(FirstDifference(AsText(image, kQdLastByte), expected.substr(0, kQdLastByte)), "");
  for (size_t at = kQdLastByte; at < sizeof image; ++at) EXPECT_EQ(image[at], 0x77) << at;

  // The landmarks one by one.
  EXPECT_EQ(image[4], 0x00);
  EXPECT_EQ(AsText(image + 8, 4), Bytes({0x00, 0x16, 0x16, 0xA5}));
  EXPECT_EQ(image[12], 0x55);
  EXPECT_EQ(image[13], 0xAA);
  EXPECT_EQ(image[61450], 0x55);
  EXPECT_EQ(AsText(image + 61451, 3), "CRC");
  for (int at = kQdFillStart; at <= kQdFillEnd; ++at) ASSERT_NE(image[at], kQdSync) << at;
}

TEST(QdLayout, FileBlocksMatchTheHandBuiltOnes) {
  struct Case {
    const char* what;
    QdFile file;
  };
  const Case cases[] = {
      {"ordinary file", DrasilStored(1, "HELLO", Counting(300), 0x1200, 0x1234, "note")},
      {"no data", DrasilStored(2, "EMPTY", "", 0x6BCF, 0)},
      {"17-character name", PandrelStored(5, "ABCDEFGHIJKLMNOPQ", "xy", 0xC000, 0xC003)},
  };
  for (const Case& c : cases) {
    QDHeaderStr header;
    std::string fields = QdFileBlocks(c.file).substr(7, 64);
    std::memcpy(&header, fields.data(), sizeof header);

    uint8_t blocks[400];
    std::memset(blocks, 0x77, sizeof blocks);
    uint16_t length = static_cast<uint16_t>(c.file.data.size());
    uint8_t* data = PutQdFileBlocks(blocks, &header, length);
    ASSERT_EQ(data, blocks + 81) << c.what;
    std::memcpy(data, c.file.data.data(), length);
    PutQdCheck(data + length);
    EXPECT_EQ(AsText(blocks, 84 + length), QdFileBlocks(c.file)) << c.what;
    EXPECT_EQ(blocks[84 + length], 0x77) << c.what;
  }
}

TEST(QdLayout, NumbersAndCommentComeFromTheMzfHeader) {
  std::string comment = Counting(104, 1);
  std::string mzf = MzfHeader(1, "NAME", 0x1234, 0x5678, 0x9ABC, comment);
  CMTHeaderStr source;
  std::memcpy(&source, mzf.data(), sizeof source);
  QDHeaderStr header;
  std::memset(&header, 0x77, sizeof header);
  CopyQdHeaderNumbers(&header, &source);
  EXPECT_EQ(Get16(header.Size), 0x1234);
  EXPECT_EQ(Get16(header.LoadAddress), 0x5678);
  EXPECT_EQ(Get16(header.ExecAddress), 0x9ABC);
  EXPECT_EQ(AsText(header.Comment, 38), comment.substr(0, 38));
  EXPECT_EQ(header.Attribute, 0x77);  // the writers set type and name their own way
  EXPECT_EQ(header.Unknown[0], 0x77);
}

TEST(QdLayout, BlockCountGrowsByTwoInEightBits) {
  uint8_t image[8] = {0};
  CountQdFile(image);
  EXPECT_EQ(image[4], 2);
  image[4] = 254;
  CountQdFile(image);
  EXPECT_EQ(image[4], 0);
}

TEST(QdLayout, StoredFilesAreFoundAgainBlockByBlock) {
  const QdFile files[] = {DrasilStored(1, "FIRST", Counting(300)), DrasilStored(2, "NONE", ""),
                          DrasilStored(5, "ABCDEFGHIJKLMNOPQ", "xyz", 0xC000, 0xC003)};
  static uint8_t image[kQdImageSize];
  LayOutEmptyQdImage(image);
  image[kQdLastByte] = 0x00;
  uint32_t at = kQdFirstFile;
  for (const QdFile& file : files) {
    QDHeaderStr header;
    std::memcpy(&header, QdFileBlocks(file).substr(7, 64).data(), sizeof header);
    uint16_t length = static_cast<uint16_t>(file.data.size());
    uint8_t* data = StoreQdFile(image, at, &header, length);
    ASSERT_EQ(data, image + at + 81);
    std::memcpy(data, file.data.data(), length);
    at += 84 + length;
  }
  EXPECT_EQ(FirstDifference(AsText(image, kQdImageSize),
                            QdImage({files[0], files[1], files[2]})), "");

  // Each file's two blocks, from their marks: type, length, payload, and where the next begins.
  uint32_t block = kQdFirstFile;
  for (const QdFile& file : files) {
    QdBlock head = ReadQdBlock(image, block + 3);
    EXPECT_EQ(head.type, kQdHeaderBlockType);
    EXPECT_EQ(head.length, 64);
    EXPECT_EQ(head.payload, block + 7);
    EXPECT_EQ(QdHeaderIn(image + block), reinterpret_cast<const QDHeaderStr*>(image + block + 7));
    QdBlock data = ReadQdBlock(image, QdBlockEnd(head) + 3);
    EXPECT_EQ(QdBlockEnd(head), block + 74);
    EXPECT_EQ(data.type, kQdDataBlockType);
    EXPECT_EQ(data.length, file.data.size());
    EXPECT_EQ(AsText(image + data.payload, data.length), file.data);
    block = QdBlockEnd(data);
  }
  EXPECT_EQ(block, at);
}
