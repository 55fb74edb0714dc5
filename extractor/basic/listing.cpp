#include "extractor/basic/listing.h"

// The listing writer comes with the token tables and the number formatter.
void WriteBasicListing(const char* baseName, const uint8_t* program, uint32_t length) {
  (void)baseName;
  (void)program;
  (void)length;
}
