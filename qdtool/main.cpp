// Drasil, the QD tool: formats a QD image, lists its directory, adds MZF files to it.
//
// The whole image is held in QDArray and written back whole. Positions in it are unsigned 16-bit
// values, as on the machine; every search and every read behind a found block is checked against
// the end of the array, so a damaged image is reported instead of being followed out of it.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "formats/bytes.h"
#include "formats/mzf.h"
#include "formats/names.h"
#include "formats/qd.h"
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
uint16_t QDPtr;

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

// At most the image's first 61455 bytes; a shorter file leaves the rest of QDArray zero.
void ReadImage(FILE* image) {
  ReadInput(image, QDArray, kQdImageSize);
  (void)std::fclose(image);
}

bool WriteImage(const char* imageName) {
  if (WriteWholeFile(imageName, QDArray, kQdImageSize, true)) return true;
  std::printf("error: cannot write %s\n", imageName);
  return false;
}

int QDFormat() {
  std::printf("Format\n");
  LayOutEmptyQdImage(QDArray);  // offset 61454 stays 0x00
  return WriteImage(kImageName) ? kStatusOk : kStatusCannotWrite;
}

// One directory line for the header block whose mark is at `mark`: the type, then the name as
// its bytes stand, up to its CR or the end of the image.
void PrintDirEntry(uint16_t mark) {
  uint8_t QDFileType = QDArray[mark + 4];
  if (QDFileType > kLastKnownType) QDFileType = 0;
  std::printf(" %s  \"", QDFileTypes[QDFileType]);
  const uint8_t* name = QDArray + mark + 5;
  int length = NameLength(name, kQdImageSize - (mark + 5));
  (void)std::fwrite(name, 1, static_cast<size_t>(length), stdout);
  std::printf("\"\n");
}

int QDDir() {
  const char* imageName;
  FILE* image = OpenImage(kImageName, kImageNameUpper, &imageName);
  if (image == nullptr) {
    std::printf("file %s not found\n", kImageName);
    return kStatusNoImage;
  }
  ReadImage(image);

  QDPtr = SeekSync(0);
  if (!MarkFits(QDPtr, 3)) return ReportDamaged(imageName);
  QDPtr = static_cast<uint16_t>(QDPtr + 1);
  uint8_t QDBlocks = QDArray[QDPtr];
  std::printf("DIRECTORY OF QD:\n");

  for (uint8_t Counter = 0; Counter < QDBlocks; ++Counter) {
    QDPtr = SeekSync(QDPtr);
    if (!MarkFits(QDPtr, 3)) return ReportDamaged(imageName);
    uint16_t PtrSave = QDPtr;
    uint16_t QDBlockSize = Get16(QDArray + PtrSave + 2);
    if (QDArray[PtrSave + 1] == kQdHeaderBlockType) {
      if (!MarkFits(PtrSave, 4)) return ReportDamaged(imageName);
      PrintDirEntry(PtrSave);
    }
    // The next search starts 4 bytes before the end of this block's payload.
    QDPtr = static_cast<uint16_t>(PtrSave + QDBlockSize);
  }
  std::printf("Ready\n");
  return kStatusOk;
}

// Walks as many blocks as the head counts; the cursor ends just behind the last one's "CRC".
// False when a search runs off the image, or when a block's length carries the 16-bit cursor
// past 65535: it would wrap back into the blocks already walked, and the new file would be
// written over them.
bool FindAppendPosition(uint16_t* append) {
  uint16_t mark = SeekSync(0);
  if (!MarkFits(mark, 3)) return false;
  uint16_t Ptr = static_cast<uint16_t>(mark + 1);
  uint8_t QDBlocks = QDArray[Ptr];
  Ptr = static_cast<uint16_t>(Ptr + 4);
  for (uint16_t Counter = 0; Counter < QDBlocks; ++Counter) {
    mark = SeekSync(Ptr);
    if (!MarkFits(mark, 3)) return false;
    uint16_t QDBlockSize = Get16(QDArray + mark + 2);
    int next = mark + 4 + QDBlockSize + kQdCheckSize;
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
    constexpr int kFrom = 18;
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
  uint8_t* data = PutQdFileBlocks(QDArray + append, &header, length);
  ReadInput(mzf, data, length);
  PutQdCheck(data + length);
  CountQdFile(QDArray);
}

int AddFileToQD(const char* MZFileName) {
  std::printf("try to add %s\n", MZFileName);
  const char* imageName;
  FILE* image = OpenImage(kImageNameUpper, kImageName, &imageName);
  if (image == nullptr) {
    std::printf("file %s not found\n", kImageNameUpper);
    return kStatusNoImage;
  }
  ReadImage(image);

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

}  // namespace

// One command per run. Everything starts afresh here, so that the function can be called again.
int DrasilMain(int argc, char** argv) {
  std::memset(QDArray, 0, sizeof QDArray);
  QDPtr = 0;
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
