#include "packer/pandrel.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "formats/bytes.h"
#include "formats/mzf.h"
#include "formats/names.h"
#include "formats/qd.h"
#include "hostio/infile.h"
#include "hostio/outfile.h"

namespace {

const char kProgramName[] = "Pandrel";
const char kVersion[] = "1.2";
const char kImageName[] = "QDisk.mzq";

constexpr int kStatusOk = 0;
constexpr int kStatusNoMemory = 1;
constexpr int kStatusCannotWrite = 2;

// The image is built here; behind the standard image it may grow up to the buffer's end.
constexpr uint32_t kPackBufferSize = 0x20000;
// Past this the image no longer fits on a standard disk side, but it is written all the same.
constexpr uint32_t kStandardImageEnd = 0x10000;
// After its last "CRC" the image carries two more bytes of 0xFF.
constexpr uint32_t kImageTail = 2;
// The most files an image takes: the run stops once this many are stored.
constexpr int kMostFiles = 33;

struct PackRun {
  uint8_t* PackBuffer;
  uint32_t PackPos;  // where the next file's header block goes
  int PackCount;     // files stored so far
};

// The QD header as the packer builds it: the name up to and including its CR, the rest of the
// name and Unknown left at 0x0D, type 5 (RB) always stored as 2 (BTX).
void BuildQdHeader(QDHeaderStr* header, const CMTHeaderStr* mzf) {
  std::memset(header, 0, sizeof *header);
  std::memset(header->Name, kNameEnd, sizeof header->Name);
  std::memset(header->Unknown, kNameEnd, sizeof header->Unknown);
  header->Attribute = mzf->Attribute == 5 ? 2 : mzf->Attribute;
  int length = NameLength(mzf->Name, kNameLength);
  std::memcpy(header->Name, mzf->Name, static_cast<size_t>(length));  // the CR behind stays
  CopyQdHeaderNumbers(header, mzf);
}

// Stores one MZF file at PackPos and prints its directory line, or says why it is skipped.
void PackFile(PackRun* run, const char* fileName, FILE* file) {
  CMTHeaderStr mzf;
  uint16_t size = 0;
  bool fits = ReadInput(file, &mzf, sizeof mzf) == sizeof mzf;
  if (fits) {
    size = Get16(mzf.Size);
    // The blocks and the two closing bytes must stay inside the buffer.
    fits = run->PackPos + size + kQdFileOverhead + kImageTail <= kPackBufferSize;
  }
  if (!fits) {
    std::printf("ERROR: Wrong file size '%s' (Skip).\n", fileName);
    return;
  }
  if (run->PackPos + size > kStandardImageEnd) {
    std::printf("WARNING: The file exceeds the length of the standard image.\n");
  }

  uint32_t at = run->PackPos;
  QDHeaderStr header;
  BuildQdHeader(&header, &mzf);
  uint8_t* data = StoreQdFile(run->PackBuffer, at, &header, size);
  // A file that holds fewer bytes leaves the rest of the data area as the buffer had it.
  ReadInput(file, data, size);
  run->PackCount++;

  // The name as the directory shows it: up to its CR, in printable ASCII, in single quotes.
  char shown[kShownNameSize];
  ShowName(mzf.Name, NameLength(mzf.Name, kNameLength), shown);
  char quoted[kQuotedNameSize];
  QuoteName(shown, '\'', quoted);
  std::printf("%2d: %-19s   %06x   %04x  %04x  %04x\n", run->PackCount, quoted,
              static_cast<unsigned>(at), static_cast<unsigned>(size),
              static_cast<unsigned>(Get16(mzf.LoadAddress)),
              static_cast<unsigned>(Get16(mzf.ExecAddress)));
  run->PackPos = at + kQdFileOverhead + size;
}

void PackFiles(PackRun* run, int first, int argc, char** argv) {
  for (int arg = first; arg < argc; ++arg) {
    FILE* file = OpenInputFile(argv[arg]);
    if (file == nullptr) {
      std::printf("WARNING: File '%s' not found!\n", argv[arg]);
      continue;
    }
    PackFile(run, argv[arg], file);
    (void)std::fclose(file);
    if (run->PackCount >= kMostFiles) break;
  }
}

// The standard length, or the end of the last file and two bytes of 0xFF when that is longer.
uint32_t ImageLength(uint32_t end) {
  return end < static_cast<uint32_t>(kQdPackerImageSize) ? kQdPackerImageSize : end + kImageTail;
}

}  // namespace

int PandrelMain(int argc, char** argv) {
  std::printf("\n%s ver. %s\n\n", kProgramName, kVersion);
  int first = argc >= 3 && std::strcmp(argv[1], "-v") == 0 ? 2 : 1;

  PackRun run;
  run.PackBuffer = static_cast<uint8_t*>(std::malloc(kPackBufferSize));
  if (run.PackBuffer == nullptr) return kStatusNoMemory;
  // Everything the empty image does not cover, offset 61454 included, reads 0xFF.
  std::memset(run.PackBuffer, 0xFF, kPackBufferSize);
  LayOutEmptyQdImage(run.PackBuffer);
  run.PackPos = kQdFirstFile;
  run.PackCount = 0;

  std::printf("Directory of MZQ:          Begin    Len Start  Exec\n");
  PackFiles(&run, first, argc, argv);
  std::printf("                     End: %06x\n", static_cast<unsigned>(run.PackPos));

  int status = kStatusOk;
  if (WriteWholeFile(kImageName, run.PackBuffer, ImageLength(run.PackPos), true)) {
    std::printf("\n");
  } else {
    std::printf("ERROR: Cannot write file '%s'!\n", kImageName);
    status = kStatusCannotWrite;
  }
  std::free(run.PackBuffer);
  return status;
}
