#pragma once
// The table of 16 standards behind the quantitative fit, and its file (.ref):
// the 16 records of 128 bytes each, back to back, 2048 bytes in all. Each
// record is kept as its byte image, so bytes the program does not use
// survive a read and a save.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolvane {

class StandardRecord {
 public:
  static constexpr int kSize = 128;
  static constexpr int kSpecFileSize = 32;
  static constexpr int kElemNameSize = 8;

  StandardRecord() { setBlank(); }
  // Seven spaces for the file name, five for the element, Cf 1.0, the rest 0.
  void setBlank();

  std::array<uint8_t, kSize>& bytes() { return bytes_; }
  const std::array<uint8_t, kSize>& bytes() const { return bytes_; }

  std::string specFile() const;
  std::string elemName() const;
  void setSpecFile(const std::string& name);        // cut to 31 characters
  void setElemName(const std::string& name);        // cut to 7 characters
  bool empty() const { return bytes_[32] == ' '; }  // element begins with a blank

  int32_t inUse() const;
  int32_t fitLowCh() const;
  int32_t fitHighCh() const;
  float cf() const;
  float kratioPct() const;
  float wtper() const;
  float kratioErr() const;
  void setInUse(int32_t v);
  void setFitLowCh(int32_t v);
  void setFitHighCh(int32_t v);
  void setCf(float v);
  void setKratioPct(float v);
  void setWtper(float v);
  void setKratioErr(float v);

 private:
  std::array<uint8_t, kSize> bytes_;
};

struct StandardTable {
  static constexpr int kRecords = 16;
  static constexpr int kFileSize = kRecords * StandardRecord::kSize;
  static constexpr size_t kMaxLabelLength = 259;
  static constexpr const char* kNewFileLabel = " [ New File  ]";

  std::array<StandardRecord, kRecords> Records;
  std::string TableLabel = kNewFileLabel;
  std::string Folder;  // the folder of the table file last chosen, with its separator

  std::vector<uint8_t> encode() const;
  // Replaces the start of the table with the bytes given (at most 2048);
  // records past a short file keep their contents.
  void decode(const uint8_t* data, size_t size);
};

enum class [[nodiscard]] TableReadOutcome { Cancelled, Failed, Read };

// Reading a table file once the path is chosen (an empty path is a
// cancelled dialog): names the table after the file, remembers its folder,
// and reads the records.
TableReadOutcome ReadStandardTableFile(StandardTable& table, const std::string& path);
// Writes the 16 records to `path` as chosen, replacing the file in one step.
[[nodiscard]] bool SaveStandardTableFile(const StandardTable& table, const std::string& path);
// Stores the chemical wt% of record `index` and sets Cf = Wtper / KratioPct,
// the rule of typing a wt% in the standards editor and of `table wt`.
// Without a K-ratio that can divide (0 before any fit, a negative one from
// a fit of a sample without the element, or not a number) Cf stays as it
// was and the outcome says so.
enum class [[nodiscard]] WtPercentOutcome { CfSet, NoKRatio, NoRecord };
WtPercentOutcome SetChemicalWtPercent(StandardTable& table, int index, float value);

}  // namespace tolvane
