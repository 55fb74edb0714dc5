// Drasil, the QD tool: formats a QD image, lists its directory, adds MZF files to it.
//
// The whole image is held in QDArray and written back whole. Positions in it are unsigned 16-bit
// values, as on the machine; every search and every read behind a found block is checked against
// the end of the array, so a damaged image is reported instead of being followed out of it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "formats/bytes.h"
#include "formats/mzf.h"
#include "formats/names.h"
#include "formats/qd.h"
#include "hostio/filelock.h"
#include "hostio/infile.h"
#include "hostio/outfile.h"

namespace {

const char kProgramName[] = "Drasil";
const char kVersion[] = "0.30";

// "format" writes the lower-case name and "dir" reads it first; "add" reads the upper-case name
// first. Either command falls back to the other name, so the two agree on a file system that
// tells case apart.
const char kImageName[] = "MZ700.qd";
const char kImageNameUpper[] = "MZ700.QD";

constexpr int kStatusOk = 0;
constexpr int kStatusUsage = 1;
constexpr int kStatusNoFileToAdd = 2;
constexpr int kStatusNoImage = 3;
constexpr int kStatusCannotWrite = 4;
constexpr int kStatusNoMzfFile = 5;
constexpr int kStatusDamaged = 6;

// What SeekSync returns when no sync pair lies before the end of the image.
constexpr uint16_t kNoSync = kQdImageSize + 1;

// A file added at p may reach 61469 - p bytes with its MZF header: it then ends before the
// image's closing "CRC". The refusal message counts the bytes from p to the end of the image.
constexpr int kSpaceLimit = 61469;
constexpr long kMzfFileLimit = 65536;  // the data length has 16 bits
// A block count of 254 or 255 would wrap with the next file's two blocks.
constexpr uint8_t kFullBlockCount = 254;

// The tool's own type names, indexed by Attribute; codes above 11 show entry 0.
constexpr uint8_t kLastKnownType = 11;
const char QDFileTypes[kLastKnownType + 1][4] = {"???", "OBJ", "BTX", "BSD", "BRD", "RB ",
                                                 "???", "LIB", "???", "???", "SYS", "GR "};

uint8_t QDArray[kQdImageSize];

// The position just behind the first sync pair from Ptr on: a block's mark byte in a sound image.
// kNoSync when the image ends first.
uint16_t SeekSync(uint16_t Ptr) {
  while (Ptr < kQdImageSize) {
    if (QDArray[Ptr++] != kQdSync || Ptr >= kQdImageSize) continue;
    // A second 0x16 completes the pair; any other byte is looked at again as a first one.
    if (QDArray[Ptr] == kQdSync) return static_cast<uint16_t>(Ptr + 1);
  }
  return kNoSync;
}

// A mark found at M is usable when the bytes read behind it, up to M + reach, lie in the image.
// A search that found nothing fails this too.
bool MarkFits(uint16_t mark, int reach) { return mark + reach <= kQdLastByte; }

int ReportDamaged(const char* imageName) {
  std::printf("error: %s is damaged\n", imageName);
  return kStatusDamaged;
}

// Opens the image under its first name, or under the second when the first cannot be opened;
// `opened` gets the name that worked.
FILE* OpenImage(const char* first, const char* second, const char** opened) {
  *opened = first;
  FILE* image = OpenInputFile(first);
  if (image != nullptr) return image;
  *opened = second;
  return OpenInputFile(second);
}

// Reads at most the first 61455 bytes of the image under `first`, or `second` when the first
// cannot be opened, into QDArray; a shorter file leaves the rest zero. `opened` gets the name
// that worked. False, with the message, when neither can be opened.
bool LoadImage(const char* first, const char* second, const char** opened) {
  FILE* image = OpenImage(first, second, opened);
  if (image == nullptr) {
    std::printf("file %s not found\n", first);
    return false;
  }
  ReadInput(image, QDArray, kQdImageSize);
  (void)std::fclose(image);
  return true;
}

bool WriteImage(const char* imageName) {
  if (WriteWholeFile(imageName, QDArray, kQdImageSize, true)) return true;
  std::printf("error: cannot write %s\n", imageName);
  return false;
}

int QDFormat() {
  std::printf("Format\n");
  LayOutEmptyQdImage(QDArray);  // offset 61454 stays 0x00
  int lock = LockFile(kImageName, nullptr);  // an add under way finishes first
  bool written = WriteImage(kImageName);
  UnlockFile(lock);
  return written ? kStatusOk : kStatusCannotWrite;
}

// One directory line for a header block: the type, then the name as its bytes stand, up to its
// CR or the end of the image.
void PrintDirEntry(const QdBlock& block) {
  const uint8_t* header = QDArray + block.payload;
  uint8_t QDFileType = header[offsetof(QDHeaderStr, Attribute)];
  if (QDFileType > kLastKnownType) QDFileType = 0;
  std::printf(" %s  \"", QDFileTypes[QDFileType]);
  uint32_t nameAt = block.payload + offsetof(QDHeaderStr, Name);
  int length = NameLength(QDArray + nameAt, kQdImageSize - static_cast<int>(nameAt));
  (void)std::fwrite(QDArray + nameAt, 1, static_cast<size_t>(length), stdout);
  std::printf("\"\n");
}

// The head block: its mark is found like any other, and its payload is the block count. False
// when the image holds no usable head.
bool ReadBlockCount(uint16_t* mark, uint8_t* QDBlocks) {
  *mark = SeekSync(0);
  if (!MarkFits(*mark, 3)) return false;
  *QDBlocks = QDArray[*mark + 1];
  return true;
}

int QDDir() {
  const char* imageName;
  if (!LoadImage(kImageName, kImageNameUpper, &imageName)) return kStatusNoImage;

  uint16_t QDPtr = 0;
  uint8_t QDBlocks = 0;
  if (!ReadBlockCount(&QDPtr, &QDBlocks)) return ReportDamaged(imageName);
  QDPtr = static_cast<uint16_t>(QDPtr + 1);
  std::printf("DIRECTORY OF QD:\n");

  for (uint16_t Counter = 0; Counter < QDBlocks; ++Counter) {
    uint16_t mark = SeekSync(QDPtr);
    if (!MarkFits(mark, 3)) return ReportDamaged(imageName);
    QdBlock block = ReadQdBlock(QDArray, mark);
    if (block.type == kQdHeaderBlockType) {
      if (!MarkFits(mark, 4)) return ReportDamaged(imageName);
      PrintDirEntry(block);
    }
    // The next search starts at mark + length, 4 bytes before the end of this block's payload.
    QDPtr = static_cast<uint16_t>(mark + block.length);
  }
  std::printf("Ready\n");
  return kStatusOk;
}

// Walks as many blocks as the head counts; the cursor ends just behind the last one's "CRC".
// False when a search runs off the image, or when a block's length carries the 16-bit cursor
// past 65535: it would wrap back into the blocks already walked, and the new file would be
// written over them.
bool FindAppendPosition(uint16_t* append) {
  uint16_t mark = 0;
  uint8_t QDBlocks = 0;
  if (!ReadBlockCount(&mark, &QDBlocks)) return false;
  // Behind the head's payload (the count) and its "CRC".
  uint16_t Ptr = static_cast<uint16_t>(mark + 1 + 1 + kQdCheckSize);
  for (uint16_t Counter = 0; Counter < QDBlocks; ++Counter) {
    mark = SeekSync(Ptr);
    if (!MarkFits(mark, 3)) return false;
    uint32_t next = QdBlockEnd(ReadQdBlock(QDArray, mark));
    if (next > UINT16_MAX) return false;
    Ptr = static_cast<uint16_t>(next);
  }
  *append = Ptr;
  return true;
}

unsigned FreeBytes(uint16_t append) {
  return append > kQdImageSize ? 0u : static_cast<unsigned>(kQdImageSize - append);
}

// Prints why the file cannot go in at `append`, or returns false when it can.
bool RefuseFile(const char* MZFileName, long fileLength, uint16_t append) {
  if (fileLength < kMzfHeaderSize) {
    std::printf("file %s is not a MZF file\n", MZFileName);
    return true;
  }
  if (fileLength >= kMzfFileLimit || fileLength > kSpaceLimit - static_cast<int>(append)) {
    std::printf("file %s is to big, only %u bytes free\n", MZFileName, FreeBytes(append));
    return true;
  }
  if (QDArray[kQdBlockCount] >= kFullBlockCount) {
    std::printf("file %s not added, directory full\n", MZFileName);
    return true;
  }
  return false;
}

// The QD header as this tool builds it from an MZF header. A header with Size 0 is taken over
// from byte 18 on as it stands, and its type 5 (RB) stays.
void BuildQdHeader(QDHeaderStr* header, const CMTHeaderStr* CMTHeader) {
  std::memset(header, 0, sizeof *header);
  bool empty = Get16(CMTHeader->Size) == 0;
  header->Attribute = CMTHeader->Attribute;
  if (!empty && header->Attribute == 5) header->Attribute = 2;
  std::memcpy(header->Name, CMTHeader->Name, kNameLength);
  if (empty) {
    // From Unknown on, which stands where the MZF header's Size does.
    constexpr size_t kFrom = offsetof(QDHeaderStr, Unknown);
    static_assert(kFrom == offsetof(CMTHeaderStr, Size), "the copy starts at the same offset");
    std::memcpy(reinterpret_cast<uint8_t*>(header) + kFrom,
                reinterpret_cast<const uint8_t*>(CMTHeader) + kFrom, kQdHeaderSize - kFrom);
  } else {
    CopyQdHeaderNumbers(header, CMTHeader);
  }
}

// Stores the MZF file at `append`; the space rule has made sure that it fits. The data length is
// the file's length behind its header, whatever the header's Size says.
void StoreFile(FILE* mzf, uint16_t append, uint16_t MZFFileSize) {
  CMTHeaderStr CMTHeader;
  std::memset(&CMTHeader, 0, sizeof CMTHeader);
  ReadInput(mzf, &CMTHeader, sizeof CMTHeader);
  QDHeaderStr header;
  BuildQdHeader(&header, &CMTHeader);
  uint16_t length = static_cast<uint16_t>(MZFFileSize - kMzfHeaderSize);
  uint8_t* data = StoreQdFile(QDArray, append, &header, length);
  ReadInput(mzf, data, length);
}

// Reads the image, appends the file and writes the image back.
int AddToImage(const char* MZFileName) {
  const char* imageName;
  if (!LoadImage(kImageNameUpper, kImageName, &imageName)) return kStatusNoImage;

  uint16_t append = 0;
  if (!FindAppendPosition(&append)) return ReportDamaged(imageName);

  FILE* mzf = OpenInputFile(MZFileName);
  if (mzf == nullptr) {
    std::printf("file %s not found\n", MZFileName);
    return kStatusNoMzfFile;
  }
  long fileLength = InputFileLength(mzf);
  // A refused file leaves the image file as it is.
  if (RefuseFile(MZFileName, fileLength, append)) {
    (void)std::fclose(mzf);
    return kStatusOk;
  }
  StoreFile(mzf, append, static_cast<uint16_t>(fileLength));
  (void)std::fclose(mzf);
  return WriteImage(imageName) ? kStatusOk : kStatusCannotWrite;
}

// Adds to one image run one after the other, so that none of them drops another's file.
int AddFileToQD(const char* MZFileName) {
  std::printf("try to add %s\n", MZFileName);
  int lock = LockFile(kImageNameUpper, kImageName);
  int status = AddToImage(MZFileName);
  UnlockFile(lock);
  return status;
}

}  // namespace

// One command per run. Everything starts afresh here, so that the function can be called again.
int DrasilMain(int argc, char** argv) {
  std::memset(QDArray, 0, sizeof QDArray);
  std::printf("\n%s V %s\n\n", kProgramName, kVersion);
  if (argc < 2) {
    std::printf("usage: drasil [format] [dir] [add filename]\n\n");
    return kStatusUsage;
  }
  const char* command = argv[1];
  if (std::strcmp(command, "format") == 0) return QDFormat();
  if (std::strcmp(command, "dir") == 0) return QDDir();
  if (std::strcmp(command, "add") == 0) {
    if (argc < 3) {
      std::printf("error: no file to add\n");
      return kStatusNoFileToAdd;
    }
    return AddFileToQD(argv[2]);
  }
  return kStatusOk;
}

// Built once as the program and once, with DRASIL_LIBRARY, as a library for the tests.
#ifndef DRASIL_LIBRARY
int main(int argc, char** argv) { return DrasilMain(argc, argv); }
#endif
