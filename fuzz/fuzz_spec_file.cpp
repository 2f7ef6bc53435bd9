// readSpecMca: files from anywhere, through the reader and through File > Import.
#include <string_view>

#include "files/spec_mca_reader.h"
#include "fuzz_import_check.h"

using namespace tolvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  checkTextSpectrumRead(readSpecMca(bytes), bytes);
  checkImport(bytes, static_cast<int>(size % 4));
  return 0;
}
