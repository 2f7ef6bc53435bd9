#include "files/variance_file.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "files/atomic_file.h"
#include "files/path_name.h"

namespace tolvane {

std::string variancePathFor(const std::string& spectrumPath) {
  const std::string name = fileNameOf(spectrumPath);
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return spectrumPath + ".var";
  return spectrumPath.substr(0, spectrumPath.size() - (name.size() - dot)) + ".var";
}

std::string varianceText(const std::vector<double>& variance, const std::string& spectrumName,
                         const std::string& description) {
  std::string text = "# variance per channel of " + spectrumName + ": " + description + "\n";
  text += "# " + std::to_string(variance.size()) + " values, channel 0 first\n";
  char number[40];
  for (const double v : variance) {
    const auto end = std::to_chars(number, number + sizeof number, v).ptr;
    text.append(number, end);
    text += '\n';
  }
  return text;
}

bool writeVarianceFile(const std::string& path, const std::vector<double>& variance, const std::string& spectrumName,
                       const std::string& description, std::string* error) {
  const std::string text = varianceText(variance, spectrumName, description);
  return writeFileAtomically(path, text.data(), text.size(), error);
}

VarianceRead readVariance(std::string_view text) {
  VarianceRead out;
  int line = 0;
  while (!text.empty()) {
    ++line;
    const size_t end = text.find('\n');
    std::string_view row = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    while (!row.empty() && (row.back() == '\r' || row.back() == ' ')) row.remove_suffix(1);
    if (row.empty() || row.front() == '#') continue;
    double v = 0.0;
    const auto [ptr, ec] = std::from_chars(row.data(), row.data() + row.size(), v);
    if (ec != std::errc() || ptr != row.data() + row.size() || !std::isfinite(v) || v < 0.0) {
      out.variance.clear();
      out.badLine = line;
      return out;
    }
    out.variance.push_back(v);
  }
  return out;
}

std::optional<std::vector<double>> varianceBeside(const std::string& spectrumPath, size_t channels) {
  std::ifstream in(variancePathFor(spectrumPath), std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  VarianceRead read = readVariance(bytes.str());
  if (!read.ok() || read.variance.size() != channels) return std::nullopt;
  return std::move(read.variance);
}

}  // namespace tolvane
