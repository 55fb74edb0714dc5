#include "formats/mzf.h"

#include <cstddef>
#include <cstring>

#include "formats/bytes.h"

namespace {
// Three characters per code; entry 15 lies on the string's end, so codes 15 and up print nothing.
const char kAttributeNames[] = "   OBJBTXBSDBRDRB ASCLIBPTXPSDSYSGR LOGPIC???";
}  // namespace

const char* AttributeName(uint8_t attribute) {
  size_t code = attribute > 15 ? 15 : attribute;
  return kAttributeNames + 3 * code;
}

void BuildMzfHeader(CMTHeaderStr* header, uint8_t attribute, const uint8_t* name, uint16_t size,
                    uint16_t load, uint16_t exec) {
  std::memset(header, 0, sizeof *header);
  header->Attribute = attribute;
  for (int i = 0; i < kNameLength; ++i) header->Name[i] = name[i] == 0 ? kNameEnd : name[i];
  Put16(header->Size, size);
  Put16(header->LoadAddress, load);
  Put16(header->ExecAddress, exec);
}
