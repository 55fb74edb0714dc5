#include "extractor/basic/tokens.h"

#include "extractor/basic/basicfloat.h"
#include "extractor/basic/scratch.h"

namespace {

struct TokenSpelling {
  uint8_t code;
  const char* spelling;
};

// One dialect's codes (or second bytes behind one prefix), indexed by the byte: null where the
// code is unassigned.
struct TokenTable {
  const char* spelling[256];
};

template <int N>
constexpr TokenTable MakeTable(const TokenSpelling (&entries)[N]) {
  TokenTable table{};
  for (const TokenSpelling& entry : entries) {
    // A code listed twice is a typing error in the table; this stops the build.
    if (table.spelling[entry.code] != nullptr) throw "code listed twice";
    table.spelling[entry.code] = entry.spelling;
  }
  return table;
}

// Tape BASIC, one byte each.
constexpr TokenSpelling kTapeTokens[] = {
    {0x80, "REM"}, {0x81, "DATA"}, {0x82, "LIST"}, {0x83, "RUN"},
    {0x84, "NEW"}, {0x85, "PRINT"}, {0x86, "LET"}, {0x87, "FOR"},
    {0x88, "IF"}, {0x89, "GOTO"}, {0x8A, "READ"}, {0x8B, "GOSUB"},
    {0x8C, "RETURN"}, {0x8D, "NEXT"}, {0x8E, "STOP"}, {0x8F, "ENT"},
    {0x90, "ON"}, {0x91, "LOAD"}, {0x92, "SAVE"}, {0x93, "VERIFY"},
    {0x94, "POKE"}, {0x95, "DIM"}, {0x96, "DEF FN"}, {0x97, "INPUT"},
    {0x98, "RESTORE"}, {0x99, "CLR"}, {0x9A, "MUSIC"}, {0x9B, "TEMPO"},
    {0x9C, "USR("}, {0x9D, "WOPEN"}, {0x9E, "ROPEN"}, {0x9F, "CLOSE"},
    {0xA0, "BYE"}, {0xA1, "LIMIT"}, {0xA2, "CONT"}, {0xA3, "SET"},
    {0xA4, "RESET"}, {0xA5, "GET"}, {0xA6, "INP#"}, {0xA7, "OUT#"},
    {0xAD, "THEN"}, {0xAE, "TO"}, {0xAF, "STEP"}, {0xB0, "><"},
    {0xB1, "<>"}, {0xB2, "=<"}, {0xB3, "<="}, {0xB4, "=>"},
    {0xB5, ">="}, {0xB6, "="}, {0xB7, ">"}, {0xB8, "<"},
    {0xB9, " AND"}, {0xBA, " OR"}, {0xBB, " NOT"}, {0xBC, "+"},
    {0xBD, "-"}, {0xBE, "*"}, {0xBF, "/"}, {0xC0, "LEFT$("},
    {0xC1, "RIGHT$("}, {0xC2, "MID$("}, {0xC3, "LEN$("}, {0xC4, "CHR$("},
    {0xC5, "STR$("}, {0xC6, "ASC("}, {0xC7, "VAL("}, {0xC8, "PEEK("},
    {0xC9, "TAB("}, {0xCA, "SPC("}, {0xCB, "SIZE"}, {0xCF, "^"},
    {0xD0, "RND("}, {0xD1, "SIN("}, {0xD2, "COS("}, {0xD3, "TAN("},
    {0xD4, "ATN("}, {0xD5, "EXP("}, {0xD6, "INT("}, {0xD7, "LOG("},
    {0xD8, "LN("}, {0xD9, "ABS("}, {0xDA, "SGN("}, {0xDB, "SQR("},
};

// Disk BASIC, one-byte codes. The five plain operator characters complete the lookup; the
// listing writer only asks for codes of 0x80 and above.
constexpr TokenSpelling kDiskTokens[] = {
    {0x2A, "*"}, {0x2B, "+"}, {0x2D, "-"}, {0x2F, "/"},
    {0x5E, "^"}, {0x83, "><"}, {0x84, "<>"}, {0x85, "=<"},
    {0x86, "<="}, {0x87, "=>"}, {0x88, ">="}, {0x89, "="},
    {0x8A, ">"}, {0x8B, "<"}, {0x9E, "TO"}, {0x9F, "STEP"},
    {0xA0, "LEFT$("}, {0xA1, "RIGHT$("}, {0xA2, "MID$("}, {0xA3, "LEN("},
    {0xA4, "CHR$("}, {0xA5, "STR$("}, {0xA6, "ASC("}, {0xA7, "VAL("},
    {0xA8, "PEEK("}, {0xA9, "TAB("}, {0xAA, "SPACE("}, {0xAB, "SIZE"},
    {0xAC, "ERL"}, {0xAD, "ERN"}, {0xAE, "EOF("}, {0xAF, "STRING$("},
    {0xB1, "CHARACTER$("}, {0xB2, "CSR"}, {0xC0, "RND("}, {0xC1, "SIN("},
    {0xC2, "COS("}, {0xC3, "TAN("}, {0xC4, "ATN("}, {0xC5, "EXP("},
    {0xC6, "INT("}, {0xC7, "LOG("}, {0xC8, "LN("}, {0xC9, "ABS("},
    {0xCA, "SGN("}, {0xCB, "SQR("},
};

// Disk BASIC statements, the second byte behind the prefix 0x80.
constexpr TokenSpelling kDiskStatements[] = {
    {0x80, "REM"}, {0x81, "DATA"}, {0x84, "READ"}, {0x85, "LIST"},
    {0x86, "RUN"}, {0x87, "NEW"}, {0x88, "PRINT"}, {0x89, "LET"},
    {0x8A, "FOR"}, {0x8B, "IF"}, {0x8C, "THEN"}, {0x8D, "GOTO"},
    {0x8E, "GOSUB"}, {0x8F, "RETURN"}, {0x90, "NEXT"}, {0x91, "STOP"},
    {0x92, "END"}, {0x93, "ON ERROR GOTO"}, {0x94, "ON"}, {0x95, "LOAD"},
    {0x96, "SAVE"}, {0x97, "VERIFY"}, {0x98, "POKE"}, {0x99, "DIM"},
    {0x9A, "DEF FN"}, {0x9B, "INPUT"}, {0x9C, "RESTORE"}, {0x9D, "CLR"},
    {0x9E, "MUSIC"}, {0x9F, "TEMPO"}, {0xA0, "USR("}, {0xA1, "WOPEN"},
    {0xA2, "ROPEN"}, {0xA3, "CLOSE"}, {0xA4, "MON"}, {0xA5, "LIMIT"},
    {0xA6, "CONT"}, {0xA7, "GET"}, {0xA8, "INP@"}, {0xA9, "OUT@"},
    {0xAA, "CURSOR"}, {0xAB, "SET"}, {0xAC, "RESET"}, {0xB3, "AUTO"},
    {0xB6, "COPY/P"}, {0xB7, "PAGE/P"}, {0xC0, "DIR"}, {0xC1, "DELETE"},
    {0xC2, "SWAP"}, {0xC3, "KILL"}, {0xC4, "RENAME"}, {0xC5, "LOCK"},
    {0xC6, "CHAIN"}, {0xC7, "UNLOCK"}, {0xC8, "RESUME"}, {0xC9, "XOPEN"},
};

// MZ-700 BASIC, one-byte codes.
constexpr TokenSpelling kGraphicsTokens[] = {
    {0x80, "GOTO"}, {0x81, "GOSUB"}, {0x83, "RUN"}, {0x84, "RETURN"},
    {0x85, "RESTORE"}, {0x86, "RESUME"}, {0x87, "LIST"}, {0x89, "DELETE"},
    {0x8A, "RENUM"}, {0x8B, "AUTO"}, {0x8C, "EDIT"}, {0x8D, "FOR"},
    {0x8E, "NEXT"}, {0x8F, "PRINT"}, {0x91, "INPUT"}, {0x93, "IF"},
    {0x94, "DATA"}, {0x95, "READ"}, {0x96, "DIM"}, {0x97, "REM"},
    {0x98, "END"}, {0x99, "STOP"}, {0x9A, "CONT"}, {0x9B, "CLS"},
    {0x9D, "ON"}, {0x9E, "LET"}, {0x9F, "NEW"}, {0xA0, "POKE"},
    {0xA1, "OFF"}, {0xA2, "PMODE"}, {0xA3, "PSKIP"}, {0xA4, "PLOT"},
    {0xA5, "PLINE"}, {0xA6, "RLINE"}, {0xA7, "PMOVE"}, {0xA8, "RMOVE"},
    {0xA9, "TRON"}, {0xAA, "TROFF"}, {0xAB, "INP@"}, {0xAC, "DEFAULT"},
    {0xAD, "GET"}, {0xAE, "PCOLOR"}, {0xAF, "PHOME"}, {0xB0, "HSET"},
    {0xB1, "GPRINT"}, {0xB2, "KEY"}, {0xB3, "AXIS"}, {0xB4, "LOAD"},
    {0xB5, "SAVE"}, {0xB6, "MERGE"}, {0xB7, "CHAIN"}, {0xB8, "CONSOLE"},
    {0xB9, "SEARCH"}, {0xBA, "OUT@"}, {0xBB, "PCIRCLE"}, {0xBC, "PTEST"},
    {0xBD, "PAGE"}, {0xBE, "WAIT"}, {0xBF, "SWAP"}, {0xC1, "ERROR"},
    {0xC2, "ELSE"}, {0xC3, "USR"}, {0xC4, "BYE"}, {0xC7, "DEF"},
    {0xCA, "LABEL"}, {0xCE, "WOPEN"}, {0xCF, "CLOSE"}, {0xD0, "ROPEN"},
    {0xD1, "XOPEN"}, {0xD5, "DIR"}, {0xD8, "RENAME"}, {0xD9, "KILL"},
    {0xDA, "LOCK"}, {0xDB, "UNLOCK"}, {0xDC, "INIT"}, {0xE0, "TO"},
    {0xE1, "STEP"}, {0xE2, "THEN"}, {0xE3, "USING"}, {0xE4, "PI"},
    {0xE5, "ALL"}, {0xE6, "TAB"}, {0xE7, "SPC"}, {0xEA, ".XOR"},
    {0xEB, ".OR"}, {0xEC, ".AND"}, {0xED, ".NOT"}, {0xEE, "><"},
    {0xEF, "<>"}, {0xF0, "=<"}, {0xF1, "<="}, {0xF2, "=>"},
    {0xF3, ">="}, {0xF4, "="}, {0xF5, ">"}, {0xF6, "<"},
    {0xF7, "+"}, {0xF8, "-"}, {0xF9, "\\"}, {0xFA, ".MOD"},  // 0xF9: one backslash
    {0xFB, "/"}, {0xFC, "*"}, {0xFD, "^"},
};

// MZ-700 BASIC graphics, colour and sound statements, the second byte behind the prefix 0xFE.
constexpr TokenSpelling kGraphicsStatements[] = {
    {0x81, "CSET"}, {0x82, "CRESET"}, {0x83, "CCOLOR"}, {0x8A, "SOUND"},
    {0x8C, "NOISE"}, {0x8D, "BEEP"}, {0x8E, "VOICE"}, {0x90, "COLOR"},
    {0x91, "PRTY"}, {0x92, "SET"}, {0x93, "RESET"}, {0x94, "LINE"},
    {0x95, "BLINE"}, {0x96, "PAL"}, {0x97, "CIRCLE"}, {0x98, "BOX"},
    {0x99, "PAINT"}, {0x9A, "POSITION"}, {0x9B, "PATTERN"}, {0x9C, "HCOPY"},
    {0x9D, "KPATTERN"}, {0x9E, "FPRINT"}, {0xA0, "SYMBOL"}, {0xA2, "MUSIC"},
    {0xA3, "TEMPO"}, {0xA4, "CURSOR"}, {0xA5, "VERIFY"}, {0xA6, "CLR"},
    {0xA7, "LIMIT"}, {0xAE, "BOOT"},
};

// MZ-700 BASIC functions, the second byte behind the prefix 0xFF; spelled without "(".
constexpr TokenSpelling kGraphicsFunctions[] = {
    {0x80, "INT"}, {0x81, "ABS"}, {0x82, "SIN"}, {0x83, "COS"},
    {0x84, "TAN"}, {0x85, "LN"}, {0x86, "EXP"}, {0x87, "SQR"},
    {0x88, "RND"}, {0x89, "PEEK"}, {0x8A, "ATN"}, {0x8B, "SGN"},
    {0x8C, "LOG"}, {0x8D, "FRAC"}, {0x8E, "PAI"}, {0x8F, "RAD"},
    {0x9C, "STICK"}, {0x9D, "STRING"}, {0xA0, "CHR$"}, {0xA1, "STR$"},
    {0xA2, "HEX$"}, {0xA8, "SPACES$"}, {0xAA, "ASCCHR$"}, {0xAB, "ASC"},
    {0xAC, "LEN"}, {0xAD, "VAL"}, {0xB2, "HEXCHR$"}, {0xB3, "ERN"},
    {0xB4, "ERL"}, {0xB5, "SIZE"}, {0xB6, "CSRH"}, {0xB7, "CSRV"},
    {0xB8, "POSH"}, {0xB9, "POSV"}, {0xBA, "LEFT$"}, {0xBB, "RIGHT$"},
    {0xBC, "MID$"}, {0xBD, "FONT$"}, {0xC4, "TI$"}, {0xC5, "POINT"},
    {0xC6, "EOF"}, {0xC7, "FN"},
};

constexpr TokenTable kTape = MakeTable(kTapeTokens);
constexpr TokenTable kDisk = MakeTable(kDiskTokens);
constexpr TokenTable kDiskPrefixed = MakeTable(kDiskStatements);
constexpr TokenTable kGraphics = MakeTable(kGraphicsTokens);
constexpr TokenTable kGraphicsPrefixedFE = MakeTable(kGraphicsStatements);
constexpr TokenTable kGraphicsPrefixedFF = MakeTable(kGraphicsFunctions);

constexpr uint8_t kDiskPrefix = 0x80;
constexpr uint8_t kGraphicsStatementPrefix = 0xFE;
constexpr uint8_t kGraphicsFunctionPrefix = 0xFF;

// The text for an unassigned code, "<label>xx?" with two lower-case hex digits, in ScratchText.
const char* UnassignedCode(const char* label, uint8_t code) {
  int length = 0;
  while (label[length] != '\0') {
    ScratchText[length] = label[length];
    ++length;
  }
  WriteHexDigits(code, 2, ScratchText + length);
  ScratchText[length + 2] = '?';
  ScratchText[length + 3] = '\0';
  return ScratchText;
}

const char* Lookup(const TokenTable& table, uint8_t code, const char* label) {
  const char* spelling = table.spelling[code];
  return spelling != nullptr ? spelling : UnassignedCode(label, code);
}

}  // namespace

const char* TapeTokenName(const uint8_t* token) { return Lookup(kTape, token[0], "?comm: "); }

const char* DiskTokenName(const uint8_t* token) {
  if (token[0] == kDiskPrefix) return Lookup(kDiskPrefixed, token[1], "?ext80: ");
  return Lookup(kDisk, token[0], "?comm: ");
}

const char* GraphicsTokenName(const uint8_t* token) {
  if (token[0] == kGraphicsStatementPrefix) return Lookup(kGraphicsPrefixedFE, token[1], "?ext1: ");
  if (token[0] == kGraphicsFunctionPrefix) return Lookup(kGraphicsPrefixedFF, token[1], "?ext2: ");
  return Lookup(kGraphics, token[0], "?comm: ");
}

const char* BasicTokenName(BasicDialect dialect, const uint8_t* token) {
  switch (dialect) {
    case BasicDialect::Tape:
      return TapeTokenName(token);
    case BasicDialect::Disk:
      return DiskTokenName(token);
    case BasicDialect::Graphics:
      break;
  }
  return GraphicsTokenName(token);
}

int BasicTokenLength(BasicDialect dialect, uint8_t first) {
  switch (dialect) {
    case BasicDialect::Tape:
      return 1;
    case BasicDialect::Disk:
      return first == kDiskPrefix ? 2 : 1;
    case BasicDialect::Graphics:
      break;
  }
  return first == kGraphicsStatementPrefix || first == kGraphicsFunctionPrefix ? 2 : 1;
}
