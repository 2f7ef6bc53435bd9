#pragma once
// The 1024-byte header of a spectrum, kept as the exact byte image that a
// spectrum file carries. Fields are read and written at their offsets with
// little-endian accessors; bytes the program does not interpret are kept
// as they came, so a header read from a file is written back unchanged.
#include <array>
#include <cstdint>
#include <string>

namespace tolvane {

class SpectrumFileHeader {
 public:
  static constexpr int kSize = 1024;
  static constexpr int kRoiSlots = 16;  // ROI entries the program uses (of 100)
  static constexpr const char* kMakerText = "Velquarion Co., Ltd.";

  // Offsets of the fields in the image.
  static constexpr int kMakerOffset = 0;
  static constexpr int kMakerSize = 21;
  static constexpr int kChannelCountOffset = 54;
  static constexpr int kCalibrationMarkerOffset = 64;
  static constexpr int kGainOffset = 68;
  static constexpr int kOffsetOffset = 72;
  static constexpr int kYearOffset = 80;
  static constexpr int kMonthOffset = 82;
  static constexpr int kDayOffset = 84;
  static constexpr int kHourOffset = 88;
  static constexpr int kMinuteOffset = 90;
  static constexpr int kSecondOffset = 92;
  static constexpr int kRoiLowOffset = 94;
  static constexpr int kRoiHighOffset = 294;
  static constexpr int kRoiColourOffset = 494;
  static constexpr int kPresetTimeOffset = 704;
  static constexpr int kLiveTimeOffset = 712;
  static constexpr int kRealTimeOffset = 716;
  static constexpr int kCommentOffset = 774;
  static constexpr int kSampleIdOffset = 806;
  static constexpr int kTextFieldSize = 32;
  // The quadratic term of a calibration from many lines, in bytes the
  // format leaves reserved (720-735): a 4-byte tag, the term, and the gain
  // and offset it was fitted with. Readers that know nothing of it see the
  // straight line at 64-75; a writer that changes that line without
  // knowing the block leaves a copy that no longer matches, so a stale
  // term is never read back.
  static constexpr int kQuadraticBlockOffset = 720;
  static constexpr int kQuadraticBlockSize = 16;
  static constexpr const char* kQuadraticTag = "QCAL";

  SpectrumFileHeader() { bytes_.fill(0); }

  std::array<uint8_t, kSize>& bytes() { return bytes_; }
  const std::array<uint8_t, kSize>& bytes() const { return bytes_; }

  void clear() { bytes_.fill(0); }

  std::string makerText() const;
  void setMakerText();  // "Velquarion Co., Ltd." and its NUL

  int16_t channelCount() const;
  void setChannelCount(int16_t n);

  float calibrationMarker() const;
  void setCalibrationMarker(float v);
  float gain() const;
  void setGain(float v);
  float offset() const;
  void setOffset(float v);
  // The quadratic term stored with the gain and offset now in the header;
  // 0 when there is none, it belongs to another line, or is not finite.
  float quadratic() const;
  // Stores the term with the header's current gain and offset (set them
  // first). A term of 0 removes a block this program wrote and leaves
  // other bytes there untouched.
  void setQuadratic(float v);

  struct StartTime {
    int16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    // Whether the fields hold a date at all: a header that never had one
    // (a fresh template, a file written elsewhere) holds zeros.
    bool known() const { return month >= 1 && month <= 12 && day >= 1 && day <= 31; }
  };
  StartTime startTime() const;
  void setStartTime(const StartTime& t);

  int16_t roiLow(int i) const;
  int16_t roiHigh(int i) const;
  int16_t roiColour(int i) const;
  void setRoiLow(int i, int16_t v);
  void setRoiHigh(int i, int16_t v);
  void setRoiColour(int i, int16_t v);

  int32_t presetTime() const;
  int32_t liveTime() const;
  int32_t realTime() const;
  void setPresetTime(int32_t v);
  void setLiveTime(int32_t v);
  void setRealTime(int32_t v);

  // Text fields of 32 bytes: at most 31 characters and a NUL. Longer text
  // is cut; a field without a NUL reads as its 32 bytes.
  std::string comment() const;
  std::string sampleId() const;
  void setComment(const std::string& text);
  void setSampleId(const std::string& text);

  bool operator==(const SpectrumFileHeader& other) const = default;

 private:
  std::string textAt(int offset, int size) const;
  void setTextAt(int offset, int size, const std::string& text);

  std::array<uint8_t, kSize> bytes_;
};

}  // namespace tolvane
