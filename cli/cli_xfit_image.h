#pragma once
// xfit --batch TABLE.ref --image FILE.nxs --out-dir DIR: K-ratio maps of
// every recorded pixel of a map file, fitted straight from the file's
// rows (no spectrum file per pixel).
#include <string>

namespace tolvane::cli {

int runBatchImage(const std::string& table, const std::string& image, const std::string& folder);

}  // namespace tolvane::cli
