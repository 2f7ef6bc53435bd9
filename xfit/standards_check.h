#pragma once
// What "Load Std" would find, said precisely: whether the table can be
// read, which standards are in use, and each one's spectrum file with its
// header (channel count, live time, calibration), so that a caller can name
// what is wrong and compare the standards with a sample.
#include <string>
#include <vector>

#include "files/spectrum_file.h"
#include "xfit/mlsq_fit.h"

namespace tolvane {

struct StandardInUse {
  int index = 0;          // record number in the table, 0..15
  std::string element;    // the record's element name
  std::string path;       // the spectrum file, in the table's folder
  SpectrumFileRead read;  // its contents as "Load Std" takes them (the standards' rule)
};

struct [[nodiscard]] StandardsCheck {
  enum class Outcome {
    Ready,
    TableNotFound,    // the table file cannot be opened
    NotATable,        // its size is not that of a table
    NoStandardInUse,  // no record is marked in use
    StandardMissing,  // a standard's spectrum file cannot be opened
    StandardRefused,  // a standard's spectrum file holds no whole block of counts
  } outcome = Outcome::TableNotFound;
  long long tableSize = 0;
  std::vector<StandardInUse> standards;  // in table order; the last one failed when a standard did
};

StandardsCheck checkStandards(const std::string& tablePath);

// The standards a loaded table fits with, each read again from the table's
// folder for its header (what the warnings compare); in the order of the
// selection. A file that can no longer be read is listed as read.
std::vector<StandardInUse> loadedStandards(const TDmVQRN& module);

}  // namespace tolvane
