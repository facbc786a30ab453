// libFuzzer target for the first two stages of the SQL server: any byte
// sequence must tokenize and parse (or be refused with an error) without
// crashing, hanging or reading out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/sqlserver/parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  tellwen::sqlserver::Batch batch;
  std::string error;
  tellwen::sqlserver::ParseBatch(text, &batch, &error);
  return 0;
}
