#pragma once
// One spectrum: its header image, its channel counts and the name shown
// for it. The capacity is fixed when the record is made (8192 channels for
// the working spectrum, 4096 for a memory) and never changes afterwards, so
// no transfer or file read allocates.
#include <cstdint>
#include <string>
#include <vector>

#include "records/spectrum_file_header.h"

namespace tolvane {

struct SpectrumRecord {
  static constexpr int kWorkingCapacity = 8192;
  static constexpr int kMemoryCapacity = 4096;
  static constexpr size_t kMaxNameLength = 255;

  explicit SpectrumRecord(int capacity) : Counts(static_cast<size_t>(capacity), 0) {}

  int capacity() const { return static_cast<int>(Counts.size()); }

  // Sets the name, cut to the 255 characters the record holds.
  void setName(const std::string& name);

  SpectrumFileHeader Header;
  std::vector<int32_t> Counts;
  std::string Name;
};

}  // namespace tolvane
