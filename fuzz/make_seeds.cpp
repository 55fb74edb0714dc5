// Writes the seed corpus of every fuzz target: media made by the tests' fixture builders.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/media.h"

namespace {

std::string gRoot;

void Seed(const std::string& target, const std::string& name, const std::string& bytes) {
  std::string dir = gRoot + "/" + target;
  mkdir(gRoot.c_str(), 0755);
  mkdir(dir.c_str(), 0755);
  std::ofstream(dir + "/" + name, std::ios::binary) << bytes;
}

// A graphics-dialect BASIC program: 10 PRINT "HI";A+1.5
std::string GraphicsProgram() {
  std::string line = Le16(10) + Bytes({0x8F, 0x20, '"', 'H', 'I', '"', ';', 'A', 0xF7, 0x15, 0x81, 0x40, 0, 0, 0, 0});
  return Le16(static_cast<int>(line.size()) + 2) + line + Le16(0);
}

// A tape-dialect BASIC program: 10 REM X / 20 PRINT A
std::string TapeProgram() {
  return Bytes({8, 0, 10, 0, 0x80, 0x20, 'X', 0x0D, 8, 0, 20, 0, 0x85, 0x20, 'A', 0x0D, 0, 0});
}

// A disk-dialect BASIC program: 10 PRINT A+ 1
std::string DiskProgram() { return Bytes({13, 0, 10, 0, 0x80, 0x88, 0x20, 'A', '+', 0x0B, 1, 0, 0, 0, 0}); }

// A mono 8000 Hz 8-bit WAV file of tape pulses: a short gap, a long tape mark, then bytes (each
// a long start pulse and eight bits). Long pulses take 4 + 4 samples, short ones 2 + 2.
std::string PulseWav() {
  std::string samples;
  auto pulse = [&samples](bool isLong) {
    samples += std::string(isLong ? 4 : 2, static_cast<char>(0xE0));
    samples += std::string(isLong ? 4 : 2, static_cast<char>(0x20));
  };
  for (int i = 0; i < 300; ++i) pulse(false);
  for (int i = 0; i < 40; ++i) pulse(true);
  for (int i = 0; i < 40; ++i) pulse(false);
  pulse(true);
  for (int value : {0x01, 0x47, 0x41, 0x4D, 0x45, 0x0D, 0x02, 0x00}) {  // type 1, "GAME", CR
    pulse(true);
    for (int bit = 7; bit >= 0; --bit) pulse(((value >> bit) & 1) != 0);
  }
  auto le32 = [](uint32_t v) { return Le16(static_cast<int>(v & 0xFFFF)) + Le16(static_cast<int>(v >> 16)); };
  std::string fmt = Le16(1) + Le16(1) + le32(8000) + le32(8000) + Le16(1) + Le16(8);
  std::string chunks = "fmt " + le32(static_cast<uint32_t>(fmt.size())) + fmt + "data" +
                       le32(static_cast<uint32_t>(samples.size())) + samples;
  return "RIFF" + le32(static_cast<uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds DIRECTORY\n");
    return 2;
  }
  gRoot = argv[1];
  const std::string programs[] = {GraphicsProgram(), TapeProgram(), DiskProgram()};
  std::vector<QdFile> files = {{1, "CODE", "\x3E\x41\xCD\x12\x00\xC9", 0x1200, 0x1200},
                               {2, "GRAPHICS", programs[0], 0x6BCF, 0},
                               {2, "TAPE", programs[1], 0x4F00, 0},
                               {5, "DISK", programs[2], 0x6BCF, 0}};
  std::string image = QdImage(files);
  Seed("fuzz_velkor_qd", "empty", EmptyQdImage());
  Seed("fuzz_velkor_qd", "four", image);
  Seed("fuzz_velkor_qd", "odd", QdImage(files, 5));

  std::string tape;
  for (const QdFile& file : files) tape += Mzf(file.attribute, file.name, file.data, file.load, file.exec);
  Seed("fuzz_velkor_mzt", "four", tape);
  Seed("fuzz_velkor_mzt", "short", tape + Repeat(0x33, 72));
  Seed("fuzz_mztape_encode", "four", tape);
  Seed("fuzz_mztape_encode", "one", Mzf(1, "CODE", "\x3E\x41\xCD\x12\x00\xC9", 0x1200, 0x1200));
  Seed("fuzz_mztape_decode", "pulses", PulseWav());

  Seed("fuzz_velkor_memdisk", "ram", RamDisk(0x4000, 0x0C00,
                                                {{2, "GRAPHICS", programs[0], 0x6BCF, 0},
                                                 {2, "TAPE", programs[1], 0x6BCF, 0}},
                                                true, 0));
  Seed("fuzz_velkor_memdisk", "ram-empty", RamDisk(0x4000, 0x0C00, {}));
  Seed("fuzz_velkor_memdisk", "rom", RomDisk("\x3E\x41\xCD\x12\x00\xC9", 0x1200, 0x1200));

  Seed("fuzz_drasil_dir", "empty", EmptyQdImage());
  Seed("fuzz_drasil_dir", "four", image);
  // "add": one byte giving the MZF file's share, the MZF file, the image.
  std::string mzf = Mzf(5, "HELLO", programs[0], 0x6BCF, 0);
  int share = static_cast<int>(255 * mzf.size() / (mzf.size() + image.size())) + 1;
  Seed("fuzz_drasil_add", "hello", Bytes({share}) + mzf + image);
  Seed("fuzz_drasil_add", "empty", Bytes({255}) + mzf + EmptyQdImage());

  std::string packed;
  for (const QdFile& file : files) {
    if (!packed.empty()) packed += "\n--\n";
    packed += Mzf(file.attribute, file.name, file.data, file.load, file.exec);
  }
  Seed("fuzz_pandrel", "four", packed);

  // The listing targets put a first line of their dialect in front of these.
  const std::string lines[] = {
      Bytes({8, 0, 20, 0, 0x85, 0x20, 'A', 0x0D, 0, 0}),                        // tape: PRINT A
      Bytes({0x0E, 0, 30, 0, 0x80, 0x88, '"', 'H', 0xA1, '"', 0x27, 'X', 0, 0, 0}),  // disk
      Bytes({0x14, 0, 40, 0, 0x94, 0x20, '1', ',', '2', ':', 0x8F, 0x20, 0x15, 0x81, 0x40, 0, 0, 0, 0, 0, 0, 0}),
      Bytes({0x0A, 0, 50, 0, 0xFE, 0x97, 0x20, 0x11, 0x1F, 0, 0, 0}),           // graphics: CIRCLE $1f
      GraphicsProgram(), TapeProgram(), DiskProgram(),
  };
  int index = 0;
  for (const std::string& line : lines) {
    for (const char* target : {"fuzz_listing_tape", "fuzz_listing_disk", "fuzz_listing_graphics"}) {
      Seed(target, "lines" + std::to_string(index), line);
    }
    ++index;
  }

  // Constants around the edges of both forms and of the rounding carries.
  const std::string constants[] = {
      Bytes({0x81, 0, 0, 0, 0}),          Bytes({0x82, 0x49, 0x0F, 0xDA, 0x9E}), Bytes({0x79, 0, 0, 0, 0}),
      Bytes({0x80, 0x7F, 0xFF, 0xFF, 0xD5}), Bytes({0x5F, 0x5B, 0xE6, 0xFE, 0xCE}), Bytes({0x5F, 0x5B, 0xE6, 0xFE, 0xCF}),
      Bytes({0xA2, 0x15, 0x02, 0xF9, 0x00}), Bytes({0xA2, 0x15, 0x02, 0xF9, 0x01}), Bytes({0xA8, 0x68, 0xD4, 0xA5, 0}),
      Bytes({0x01, 0, 0, 0, 0}),          Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), Bytes({0x00, 0x12, 0x34, 0x56, 0x78}),
  };
  index = 0;
  for (const std::string& constant : constants) Seed("fuzz_float", "c" + std::to_string(index++), constant);

  // Tape decoder: a header and body recorded in both forms and then damaged, and raw samples.
  const std::string tapeHeader = MzfHeader(1, "TAPE", 24, 0x1200, 0x1200);
  const std::string tapeBody = Repeat(0xA5, 12) + Repeat(0x00, 12);
  Seed("fuzz_tape_decoder", "fast", Bytes({1, 0}) + tapeHeader + tapeBody);
  Seed("fuzz_tape_decoder", "two-copies", Bytes({3, 1}) + tapeHeader + tapeBody);
  Seed("fuzz_tape_decoder", "damaged", Bytes({3, 0}) + tapeHeader + tapeBody + Repeat(0x40, 64));
  std::string wave;
  for (int i = 0; i < 4000; ++i) wave += Le16((i / 3) % 2 == 0 ? 20000 : -20000 + 65536);
  Seed("fuzz_tape_decoder", "raw", Bytes({0, 2}) + wave);
  return 0;
}
