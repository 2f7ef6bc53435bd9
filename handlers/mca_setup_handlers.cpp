#include "handlers/mca_setup_handlers.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/session.h"
#include "records/text_number.h"
#include "device/mca_commands.h"
#include "handlers/plot_handlers.h"

namespace tolvane {

namespace {

constexpr int kSizes[] = {256, 512, 1024, 2048, 4096};

std::string fixed1(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%9.1f", value);
  return buffer;
}

std::string textOf(const std::array<char, 32>& field) {
  return std::string(field.data(), strnlen(field.data(), field.size()));
}

void setText(std::array<char, 32>& field, const std::string& text) {
  field.fill('\0');
  std::memcpy(field.data(), text.data(), std::min(text.size(), field.size() - 1));  // at most 31 characters
}

// False when the preset is switched on with a ROI or percentage that is
// not valid; the preset then stays as it was.
bool storePrecision(Session& s, const McaSetupFields& f) {
  const auto roi = parseReal(f.PrecisionRoi);
  const auto pct = parseReal(f.PrecisionPct);
  const bool valid =
      roi && *roi == std::trunc(*roi) && *roi >= 0 && *roi < RoiTable::kEntries && pct && *pct > 0 && *pct <= 100;
  if (valid) {
    s.Precision.Roi = static_cast<int32_t>(*roi);
    s.Precision.TargetPct = static_cast<float>(*pct);
    s.Precision.Enabled = f.PrecisionOn;
  } else if (f.PrecisionOn) {
    s.Texts.Edit1 = kPrecisionError;
    return false;
  } else {
    s.Precision.Enabled = false;
  }
  return true;
}

}  // namespace

McaSetupFields LoadSetupFields(Session& s) {
  McaSetup& m = s.Mca;
  if (m.ChannelCount > 4096) m.ChannelCount = 4096;
  if (m.PresetTime < 1) m.PresetTime = 100;
  McaSetupFields f;
  f.ChannelCount = 4096;
  for (int size : kSizes)
    if (m.ChannelCount == size) f.ChannelCount = size;
  f.PresetRT = fixed1(m.PresetTime * 0.1);
  f.DeadTime = fixed1(m.DeadTimePerEvent);
  f.SpcLabel1 = textOf(m.Comment);
  f.SpcLabel2 = textOf(m.SampleId);
  f.PrecisionOn = s.Precision.Enabled;
  f.PrecisionRoi = std::to_string(s.Precision.Roi);
  char pct[32];
  std::snprintf(pct, sizeof pct, "%.2f", static_cast<double>(s.Precision.TargetPct));
  f.PrecisionPct = pct;
  return f;
}

bool StoreSetupFields(Session& s, const McaSetupFields& f) {
  McaSetup& m = s.Mca;
  bool taken = true;
  for (int size : kSizes)
    if (f.ChannelCount == size) m.ChannelCount = size;
  if (const auto seconds = parseReal(f.PresetRT); seconds && std::fabs(*seconds) < 2.0e8) {
    const float tenths = static_cast<float>(*seconds) * 10.0f + 0.001f;
    m.PresetTime = static_cast<int32_t>(std::trunc(tenths));
  } else {
    s.Texts.Edit1 = kPresetTimeError;
    taken = false;
  }
  if (const auto deadTime = parseFloat(f.DeadTime)) {
    m.DeadTimePerEvent = *deadTime;
  } else {
    s.Texts.Edit1 = kDeadTimeError;
    taken = false;
  }
  setText(m.Comment, f.SpcLabel1);
  setText(m.SampleId, f.SpcLabel2);
  if (!storePrecision(s, f)) taken = false;
  return taken;
}

void Button10Click(Session& s, const std::function<bool(McaSetupFields&)>& runDialog) {
  McaSetupFields fields = OpenMcaSetup(s);
  const bool ok = runDialog(fields);
  ApplyMcaSetup(s, fields, ok);
}

McaSetupFields OpenMcaSetup(Session& s) {
  setText(s.Mca.Comment, s.Working.Header.comment());
  setText(s.Mca.SampleId, s.Working.Header.sampleId());
  return LoadSetupFields(s);
}

void ApplyMcaSetup(Session& s, const McaSetupFields& fields, bool ok) {
  const bool taken = StoreSetupFields(s, fields);  // on any close
  if (!ok) return;

  AcquisitionState& a = s.Acquisition;
  if (a.DeviceOpen == 1) {
    const std::string refusal = s.Texts.Edit1;
    s.Texts.Edit1 = presetFrame(s.Mca.PresetTime);  // shown whether or not it is accepted
    (void)SetPresetTime(s.Transport, a, s.Mca.PresetTime);  // the frame shows it; a refusal is not reported
    // A refused field keeps its message: the frame text would hide that
    // the old value was sent instead of the typed one.
    if (!taken) s.Texts.Edit1 = refusal;
    a.PresetTime = s.Mca.PresetTime;
    // 256 channels have no memory-size frame: nothing is sent for them.
    if (SetMemorySize(s.Transport, s.Mca.ChannelCount) == LinkOutcome::Done) a.ChannelCount = s.Mca.ChannelCount;
  }
  a.ChannelCount = s.Mca.ChannelCount;
  s.AcquisitionTemplate.setChannelCount(static_cast<int16_t>(a.ChannelCount));
  s.AcquisitionTemplate.setPresetTime(s.Mca.PresetTime);
  s.Working.Header.setComment(textOf(s.Mca.Comment));
  s.Working.Header.setSampleId(textOf(s.Mca.SampleId));
  PaintBox1Paint(s);
}

}  // namespace tolvane
