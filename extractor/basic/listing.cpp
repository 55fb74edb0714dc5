// A stored BASIC program is a run of line records: a 16-bit record length (0 ends the program),
// a 16-bit line number, then the line text up to a zero byte. The text mixes plain characters
// with tokens of the program's dialect and embedded constants, each told by its lead byte.
//
// A line is decoded from its fifth byte to the end of its text, not bounded by the record
// length, so a damaged record can run on into the next ones; the next record is still found by
// its length. Every byte at or past the end of the program reads as zero, which ends any line.
//
// Tape BASIC ends a record with 0x0D instead of a zero byte. The 0x0D skip takes it and the low
// byte of the next length word; the high byte, zero for records under 256 bytes and for the end
// marker, then ends the line.
#include "extractor/basic/listing.h"

#include <cstring>

#include "extractor/basic/basicfloat.h"
#include "formats/sharp.h"

namespace {

// Lead bytes inside a line's text.
constexpr uint8_t kEndOfLine = 0x00;
constexpr uint8_t kDecimalConstant = 0x0B;  // 16-bit value, low byte first
constexpr uint8_t kSkipTwo = 0x0D;          // this byte and the next are not shown
constexpr uint8_t kHexConstant = 0x11;      // 16-bit value, low byte first
constexpr uint8_t kFloatConstant = 0x15;    // five bytes follow
constexpr uint8_t kQuote = 0x22;
constexpr uint8_t kComment = 0x27;
constexpr uint8_t kFirstToken = 0x80;
constexpr uint8_t kStatementEnd = 0x3A;  // ':'
// MZ-700 BASIC copies the text after DATA and REM as it stands, up to a ':'.
constexpr uint8_t kGraphicsData = 0x94;
constexpr uint8_t kGraphicsRem = 0x97;
// The first text byte of a tape program's REM line and of a disk program's statement.
constexpr uint8_t kFirstLineMark = 0x80;
constexpr uint8_t kTapeLineEnd = 0x0D;

constexpr size_t kTextOffset = 4;  // of the line text inside a record
constexpr size_t kLineComplete = SIZE_MAX;
constexpr size_t kOutputBufferSize = 4096;
constexpr int kPieceSize = 256;  // room for any one item's text

struct ListingWriter {
  const uint8_t* program;
  size_t length;
  BasicDialect dialect;
  ListingSink sink;
  void* context;
  char last;    // the last character of the line text so far
  size_t used;  // characters waiting in `buffer`
  size_t sent;  // characters handed to the sink
  char buffer[kOutputBufferSize];
};

uint8_t ByteAt(const uint8_t* program, size_t length, size_t offset) {
  return offset < length ? program[offset] : 0;
}

uint8_t ByteAt(const ListingWriter* w, size_t offset) {
  return ByteAt(w->program, w->length, offset);
}

uint16_t WordAt(const uint8_t* program, size_t length, size_t offset) {
  return static_cast<uint16_t>(ByteAt(program, length, offset) |
                               (ByteAt(program, length, offset + 1) << 8));
}

void Flush(ListingWriter* w) {
  if (w->used > 0) w->sink(w->context, w->buffer, w->used);
  w->sent += w->used;
  w->used = 0;
}

void AppendChar(ListingWriter* w, char c) {
  if (w->used == kOutputBufferSize) Flush(w);
  w->buffer[w->used++] = c;
  w->last = c;
}

// `size` is at most one piece.
void AppendText(ListingWriter* w, const char* text, size_t size) {
  if (size == 0) return;
  if (size > kOutputBufferSize - w->used) Flush(w);
  std::memcpy(w->buffer + w->used, text, size);
  w->used += size;
  w->last = text[size - 1];
}

void AppendText(ListingWriter* w, const char* text) { AppendText(w, text, std::strlen(text)); }

// Tokens and constants follow the text before them with one blank, unless it ends in one.
void SeparateFromText(ListingWriter* w) {
  if (w->last != ' ') AppendChar(w, ' ');
}

// Writes `value` in decimal into `piece`; returns the number of characters.
size_t FormatDecimal(uint32_t value, char* piece) {
  return static_cast<size_t>(WriteDecimalDigits(value, piece) - piece);
}

// Lower-case hexadecimal without leading zeros ("%x").
size_t FormatHex(uint32_t value, char* piece) {
  return static_cast<size_t>(WriteHexDigits(value, 1, piece) - piece);
}

size_t ListFloat(ListingWriter* w, size_t at) {
  uint8_t bytes[5];
  for (size_t i = 0; i < 5; ++i) bytes[i] = ByteAt(w, at + 1 + i);
  char piece[kPieceSize];
  FormatBasicFloat(bytes, piece);
  if (w->last != ' ' && w->last != '-') AppendChar(w, ' ');
  AppendText(w, piece);
  return at + 6;
}

// 0x0B as "%d", 0x11 as "$%x".
size_t ListInteger(ListingWriter* w, size_t at, bool hex) {
  uint32_t value = WordAt(w->program, w->length, at + 1);
  char piece[kPieceSize];
  size_t size = 0;
  if (hex) {
    piece[size++] = '$';
    size += FormatHex(value, piece + size);
  } else {
    size = FormatDecimal(value, piece);
  }
  SeparateFromText(w);
  AppendText(w, piece, size);
  return at + 3;
}

// "?%02x?": a control byte the line cannot hold; it ends the line.
size_t ListControlByte(ListingWriter* w, uint8_t b) {
  char piece[4] = {'?', 0, 0, '?'};
  WriteHexDigits(b, 2, piece + 1);
  AppendText(w, piece, sizeof piece);
  return kLineComplete;
}

// Sharp characters from `at` up to (not including) a zero byte or `stop`; returns where it
// stopped.
size_t CopyCharacters(ListingWriter* w, size_t at, int stop) {
  for (;;) {
    uint8_t c = ByteAt(w, at);
    if (c == kEndOfLine || c == stop) return at;
    AppendChar(w, SharpToAscii(c));
    ++at;
  }
}

// A string runs to its closing quote; one that meets the line's end is closed and ends it.
size_t ListString(ListingWriter* w, size_t at) {
  AppendChar(w, '"');
  size_t end = CopyCharacters(w, at + 1, kQuote);
  AppendChar(w, '"');
  return ByteAt(w, end) == kQuote ? end + 1 : kLineComplete;
}

size_t ListComment(ListingWriter* w, size_t at) {
  AppendText(w, " '", 2);
  CopyCharacters(w, at + 1, kEndOfLine);
  return kLineComplete;
}

// MZ-700 BASIC's DATA and REM: the text after them as it stands, up to the statement's ':'.
size_t ListGraphicsVerbatim(ListingWriter* w, size_t at, uint8_t b) {
  SeparateFromText(w);
  AppendText(w, GraphicsTokenName(&b));
  if (b == kGraphicsData) AppendChar(w, ' ');
  return CopyCharacters(w, at + 1, kStatementEnd);
}

size_t ListToken(ListingWriter* w, size_t at, uint8_t b) {
  // A prefix byte's second byte may lie past the end: it reads as zero too.
  uint8_t token[2] = {b, ByteAt(w, at + 1)};
  const char* spelling = BasicTokenName(w->dialect, token);
  SeparateFromText(w);
  AppendText(w, spelling);
  return at + static_cast<size_t>(BasicTokenLength(w->dialect, b));
}

// One item of the line text at `at`; returns where the next begins, or kLineComplete.
size_t ListItem(ListingWriter* w, size_t at) {
  uint8_t b = ByteAt(w, at);
  if (b == kEndOfLine) return kLineComplete;
  if (b == kFloatConstant) return ListFloat(w, at);
  if (b == kDecimalConstant) return ListInteger(w, at, false);
  if (b == kSkipTwo) return at + 2;
  if (b == kHexConstant) return ListInteger(w, at, true);
  if (b < 0x20) return ListControlByte(w, b);
  if (b == kQuote) return ListString(w, at);
  if (w->dialect == BasicDialect::Graphics && (b == kGraphicsData || b == kGraphicsRem)) {
    return ListGraphicsVerbatim(w, at, b);
  }
  if (b == kComment) return ListComment(w, at);
  if (b >= kFirstToken) return ListToken(w, at, b);
  AppendChar(w, static_cast<char>(b));
  return at + 1;
}

void ListLine(ListingWriter* w, size_t record) {
  char piece[kPieceSize];
  size_t size = FormatDecimal(WordAt(w->program, w->length, record + 2), piece);
  piece[size++] = ' ';
  AppendText(w, piece, size);
  size_t at = record + kTextOffset;
  while (at != kLineComplete) at = ListItem(w, at);
  AppendText(w, "\r\n", 2);
}

}  // namespace

BasicDialect DetectBasicDialect(const uint8_t* program, uint32_t length) {
  if (ByteAt(program, length, kTextOffset) != kFirstLineMark) return BasicDialect::Graphics;
  if (ByteAt(program, length, kTextOffset + 1) >= 0x80) return BasicDialect::Disk;
  // A REM line of tape BASIC: its record ends with 0x0D. A record length of 0 has no last
  // byte; it reads as zero like any byte outside the program.
  uint16_t first = WordAt(program, length, 0);
  uint8_t lastByte = first == 0 ? 0 : ByteAt(program, length, first - 1u);
  return lastByte == kTapeLineEnd ? BasicDialect::Tape : BasicDialect::Graphics;
}

ListingExtent ListBasicProgram(const uint8_t* program, uint32_t length, ListingSink sink,
                               void* context) {
  ListingWriter writer;
  ListingWriter* w = &writer;
  w->program = program;
  w->length = length;
  w->dialect = DetectBasicDialect(program, length);
  w->sink = sink;
  w->context = context;
  w->last = ' ';
  w->used = 0;
  w->sent = 0;

  ListingExtent extent = {0, false};
  if (length == 0) return extent;
  size_t record = 0;
  uint16_t recordLength = WordAt(program, length, 0);
  while (recordLength != 0) {
    ListLine(w, record);
    record += recordLength;
    if (record >= length) break;
    recordLength = WordAt(program, length, record);
    // A line is at most about 12 characters a program byte, so this stays far from overflow.
    if (recordLength != 0 && w->sent + w->used > kListingLimit) {
      extent.cut = true;
      break;
    }
  }
  Flush(w);
  extent.kept = static_cast<uint32_t>(w->sent);
  return extent;
}
