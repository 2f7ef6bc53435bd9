#include "xfit/standard_table.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>

#include "files/atomic_file.h"
#include "records/little_endian.h"
#include "files/path_name.h"

namespace tolvane {

namespace {

constexpr int kSpecFileOffset = 0;
constexpr int kElemNameOffset = 32;
constexpr int kInUseOffset = 40;
constexpr int kFitLowOffset = 44;
constexpr int kFitHighOffset = 48;
constexpr int kCfOffset = 76;
constexpr int kKratioOffset = 80;
constexpr int kWtperOffset = 84;
constexpr int kKratioErrOffset = 112;

std::string textAt(const std::array<uint8_t, StandardRecord::kSize>& b, int offset, int size) {
  const auto* begin = b.data() + offset;
  return std::string(begin, std::find(begin, begin + size, uint8_t{0}));
}

void setTextAt(std::array<uint8_t, StandardRecord::kSize>& b, int offset, int size, const std::string& text) {
  std::memset(b.data() + offset, 0, static_cast<size_t>(size));
  std::memcpy(b.data() + offset, text.data(), std::min(text.size(), static_cast<size_t>(size - 1)));
}

}  // namespace

void StandardRecord::setBlank() {
  bytes_.fill(0);
  setSpecFile("       ");
  setElemName("     ");
  setCf(1.0f);
}

std::string StandardRecord::specFile() const { return textAt(bytes_, kSpecFileOffset, kSpecFileSize); }
std::string StandardRecord::elemName() const { return textAt(bytes_, kElemNameOffset, kElemNameSize); }
void StandardRecord::setSpecFile(const std::string& n) { setTextAt(bytes_, kSpecFileOffset, kSpecFileSize, n); }
void StandardRecord::setElemName(const std::string& n) { setTextAt(bytes_, kElemNameOffset, kElemNameSize, n); }

int32_t StandardRecord::inUse() const { return loadI32(&bytes_[kInUseOffset]); }
int32_t StandardRecord::fitLowCh() const { return loadI32(&bytes_[kFitLowOffset]); }
int32_t StandardRecord::fitHighCh() const { return loadI32(&bytes_[kFitHighOffset]); }
float StandardRecord::cf() const { return loadF32(&bytes_[kCfOffset]); }
float StandardRecord::kratioPct() const { return loadF32(&bytes_[kKratioOffset]); }
float StandardRecord::wtper() const { return loadF32(&bytes_[kWtperOffset]); }
float StandardRecord::kratioErr() const { return loadF32(&bytes_[kKratioErrOffset]); }
void StandardRecord::setInUse(int32_t v) { storeI32(&bytes_[kInUseOffset], v); }
void StandardRecord::setFitLowCh(int32_t v) { storeI32(&bytes_[kFitLowOffset], v); }
void StandardRecord::setFitHighCh(int32_t v) { storeI32(&bytes_[kFitHighOffset], v); }
void StandardRecord::setCf(float v) { storeF32(&bytes_[kCfOffset], v); }
void StandardRecord::setKratioPct(float v) { storeF32(&bytes_[kKratioOffset], v); }
void StandardRecord::setWtper(float v) { storeF32(&bytes_[kWtperOffset], v); }
void StandardRecord::setKratioErr(float v) { storeF32(&bytes_[kKratioErrOffset], v); }

std::vector<uint8_t> StandardTable::encode() const {
  std::vector<uint8_t> out;
  out.reserve(kFileSize);
  for (const StandardRecord& r : Records) out.insert(out.end(), r.bytes().begin(), r.bytes().end());
  return out;
}

void StandardTable::decode(const uint8_t* data, size_t size) {
  size = std::min<size_t>(size, kFileSize);
  for (size_t i = 0; i < size; ++i) Records[i / StandardRecord::kSize].bytes()[i % StandardRecord::kSize] = data[i];
}

TableReadOutcome ReadStandardTableFile(StandardTable& table, const std::string& path) {
  if (path.empty()) return TableReadOutcome::Cancelled;
  table.Folder = folderOf(path);
  table.TableLabel = ("  [  " + fileNameOf(path) + "  ]").substr(0, StandardTable::kMaxLabelLength);
  std::ifstream in(path, std::ios::binary);
  if (!in) return TableReadOutcome::Failed;
  std::vector<uint8_t> bytes(StandardTable::kFileSize);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  table.decode(bytes.data(), static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return TableReadOutcome::Read;
}

bool SaveStandardTableFile(const StandardTable& table, const std::string& path) {
  if (path.empty()) return false;
  const std::vector<uint8_t> bytes = table.encode();
  return writeFileAtomically(path, bytes.data(), bytes.size());
}

WtPercentOutcome SetChemicalWtPercent(StandardTable& table, int index, float value) {
  if (index < 0 || index >= StandardTable::kRecords) return WtPercentOutcome::NoRecord;
  StandardRecord& r = table.Records[static_cast<size_t>(index)];
  r.setWtper(value);
  // A K-ratio of 0 would give an infinite Cf, a negative one turn every
  // later wt% negative.
  const float cf = r.wtper() / r.kratioPct();
  if (!(r.kratioPct() > 0.0f) || !std::isfinite(cf)) return WtPercentOutcome::NoKRatio;
  r.setCf(cf);
  return WtPercentOutcome::CfSet;
}

}  // namespace tolvane
