#pragma once
// Names of the files a mapping scan saves its passes to: NAME_0001.dat,
// NAME_0002.dat, ... beside the chosen file, with its extension replaced.
// The numbers have a fixed width, four digits or more when the scan's last
// number needs them, so a glob lists the files in pass order.
#include <cstdint>
#include <string>

namespace tolvane {

// The chosen path without its extension (a dot in a folder name stays).
std::string passFileStem(const std::string& chosen);

// The highest number a pass file gets. A file whose number is higher (or
// has more digits) counts as this one, so the numbering never runs past it
// nor wraps around onto an earlier file.
inline constexpr int64_t kLastPassNumber = 999'999'999'999'999'999;

std::string passFilePath(const std::string& chosen, int64_t number, int digits = 4);

// The name of the file numbered kLastPassNumber, for the message that no
// number is left.
std::string lastPassFileName(const std::string& chosen);
inline constexpr const char* kPassNumbersUsedUpText = "Cannot save passes: no number left after ";

// Digits for numbers up to `lastNumber`: 4, or more when it needs them.
int passFileDigits(int64_t lastNumber);

// The highest number of a STEM_<digits>.dat file in the chosen file's
// folder, at most kLastPassNumber; 0 when there is none.
int64_t highestPassFile(const std::string& chosen);

enum class PassPlanError { None, NoFolder, NotAFolder, NumbersUsedUp };

struct PassFilePlan {
  int64_t firstNumber = 1;
  int digits = 4;
  PassPlanError error = PassPlanError::None;
};

// Where a scan of `plannedPasses` passes (0: not known) starts numbering:
// one past the highest existing file, never over one. NumbersUsedUp when
// that file already has kLastPassNumber.
PassFilePlan planPassFiles(const std::string& chosen, int64_t plannedPasses);

}  // namespace tolvane
