#include "records/spectrum_file_header.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "records/little_endian.h"

namespace tolvane {

std::string SpectrumFileHeader::textAt(int offset, int size) const {
  const auto* begin = bytes_.data() + offset;
  const auto* end = std::find(begin, begin + size, uint8_t{0});
  return std::string(begin, end);
}

void SpectrumFileHeader::setTextAt(int offset, int size, const std::string& text) {
  const size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
  std::memset(bytes_.data() + offset, 0, static_cast<size_t>(size));
  std::memcpy(bytes_.data() + offset, text.data(), n);
}

std::string SpectrumFileHeader::makerText() const { return textAt(kMakerOffset, kMakerSize); }
void SpectrumFileHeader::setMakerText() { setTextAt(kMakerOffset, kMakerSize, kMakerText); }

int16_t SpectrumFileHeader::channelCount() const { return loadI16(&bytes_[kChannelCountOffset]); }
void SpectrumFileHeader::setChannelCount(int16_t n) { storeI16(&bytes_[kChannelCountOffset], n); }

float SpectrumFileHeader::calibrationMarker() const { return loadF32(&bytes_[kCalibrationMarkerOffset]); }
void SpectrumFileHeader::setCalibrationMarker(float v) { storeF32(&bytes_[kCalibrationMarkerOffset], v); }
float SpectrumFileHeader::gain() const { return loadF32(&bytes_[kGainOffset]); }
void SpectrumFileHeader::setGain(float v) { storeF32(&bytes_[kGainOffset], v); }
float SpectrumFileHeader::offset() const { return loadF32(&bytes_[kOffsetOffset]); }
void SpectrumFileHeader::setOffset(float v) { storeF32(&bytes_[kOffsetOffset], v); }

namespace {
constexpr int kTagSize = 4;
constexpr int kTermAt = SpectrumFileHeader::kQuadraticBlockOffset + 4;
constexpr int kGainCopyAt = SpectrumFileHeader::kQuadraticBlockOffset + 8;
constexpr int kOffsetCopyAt = SpectrumFileHeader::kQuadraticBlockOffset + 12;
}  // namespace

float SpectrumFileHeader::quadratic() const {
  const uint8_t* block = &bytes_[kQuadraticBlockOffset];
  if (std::memcmp(block, kQuadraticTag, kTagSize) != 0) return 0.0f;
  // Compared as bytes: the copy must be the very line it was fitted with.
  if (std::memcmp(&bytes_[kGainCopyAt], &bytes_[kGainOffset], 4) != 0 ||
      std::memcmp(&bytes_[kOffsetCopyAt], &bytes_[kOffsetOffset], 4) != 0)
    return 0.0f;
  const float term = loadF32(&bytes_[kTermAt]);
  return std::isfinite(term) ? term : 0.0f;
}

void SpectrumFileHeader::setQuadratic(float v) {
  uint8_t* block = &bytes_[kQuadraticBlockOffset];
  if (v == 0.0f || !std::isfinite(v)) {
    if (std::memcmp(block, kQuadraticTag, kTagSize) == 0) std::memset(block, 0, kQuadraticBlockSize);
    return;
  }
  std::memcpy(block, kQuadraticTag, kTagSize);
  storeF32(&bytes_[kTermAt], v);
  std::memcpy(&bytes_[kGainCopyAt], &bytes_[kGainOffset], 4);
  std::memcpy(&bytes_[kOffsetCopyAt], &bytes_[kOffsetOffset], 4);
}

SpectrumFileHeader::StartTime SpectrumFileHeader::startTime() const {
  return {loadI16(&bytes_[kYearOffset]), loadI16(&bytes_[kMonthOffset]),  loadI16(&bytes_[kDayOffset]),
          loadI16(&bytes_[kHourOffset]), loadI16(&bytes_[kMinuteOffset]), loadI16(&bytes_[kSecondOffset])};
}

void SpectrumFileHeader::setStartTime(const StartTime& t) {
  storeI16(&bytes_[kYearOffset], t.year);
  storeI16(&bytes_[kMonthOffset], t.month);
  storeI16(&bytes_[kDayOffset], t.day);
  storeI16(&bytes_[kHourOffset], t.hour);
  storeI16(&bytes_[kMinuteOffset], t.minute);
  storeI16(&bytes_[kSecondOffset], t.second);
}

int16_t SpectrumFileHeader::roiLow(int i) const { return loadI16(&bytes_[kRoiLowOffset + 2 * i]); }
int16_t SpectrumFileHeader::roiHigh(int i) const { return loadI16(&bytes_[kRoiHighOffset + 2 * i]); }
int16_t SpectrumFileHeader::roiColour(int i) const { return loadI16(&bytes_[kRoiColourOffset + 2 * i]); }
void SpectrumFileHeader::setRoiLow(int i, int16_t v) { storeI16(&bytes_[kRoiLowOffset + 2 * i], v); }
void SpectrumFileHeader::setRoiHigh(int i, int16_t v) { storeI16(&bytes_[kRoiHighOffset + 2 * i], v); }
void SpectrumFileHeader::setRoiColour(int i, int16_t v) { storeI16(&bytes_[kRoiColourOffset + 2 * i], v); }

int32_t SpectrumFileHeader::presetTime() const { return loadI32(&bytes_[kPresetTimeOffset]); }
int32_t SpectrumFileHeader::liveTime() const { return loadI32(&bytes_[kLiveTimeOffset]); }
int32_t SpectrumFileHeader::realTime() const { return loadI32(&bytes_[kRealTimeOffset]); }
void SpectrumFileHeader::setPresetTime(int32_t v) { storeI32(&bytes_[kPresetTimeOffset], v); }
void SpectrumFileHeader::setLiveTime(int32_t v) { storeI32(&bytes_[kLiveTimeOffset], v); }
void SpectrumFileHeader::setRealTime(int32_t v) { storeI32(&bytes_[kRealTimeOffset], v); }

std::string SpectrumFileHeader::comment() const { return textAt(kCommentOffset, kTextFieldSize); }
std::string SpectrumFileHeader::sampleId() const { return textAt(kSampleIdOffset, kTextFieldSize); }
void SpectrumFileHeader::setComment(const std::string& text) { setTextAt(kCommentOffset, kTextFieldSize, text); }
void SpectrumFileHeader::setSampleId(const std::string& text) { setTextAt(kSampleIdOffset, kTextFieldSize, text); }

}  // namespace tolvane
