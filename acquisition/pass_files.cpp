#include "acquisition/pass_files.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "files/path_name.h"

namespace tolvane {

namespace {

std::filesystem::path folderPath(const std::string& chosen) {
  const std::filesystem::path folder = std::filesystem::path(chosen).parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

// The number in NAME_<digits>.dat, or -1 when `name` is not a pass file of
// `stemName`.
int64_t passNumberOf(const std::string& name, const std::string& stemName) {
  static const std::string kExtension = ".dat";
  const size_t prefix = stemName.size() + 1;
  if (name.size() <= prefix + kExtension.size() || name.compare(0, stemName.size(), stemName) != 0 ||
      name[stemName.size()] != '_' || name.compare(name.size() - kExtension.size(), kExtension.size(), kExtension) != 0)
    return -1;
  const std::string digits = name.substr(prefix, name.size() - prefix - kExtension.size());
  int64_t number = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return -1;
    // Past the last number the value stays there instead of overflowing.
    number = number > (kLastPassNumber - (c - '0')) / 10 ? kLastPassNumber : number * 10 + (c - '0');
  }
  return number;
}

}  // namespace

std::string passFileStem(const std::string& chosen) {
  std::string stem = chosen;
  const size_t nameLength = fileNameOf(stem).size();
  const size_t dot = stem.find_last_of('.');
  if (dot != std::string::npos && dot > stem.size() - nameLength) stem.erase(dot);
  return stem;
}

std::string passFilePath(const std::string& chosen, int64_t number, int digits) {
  char suffix[40];
  std::snprintf(suffix, sizeof suffix, "_%0*lld.dat", digits, static_cast<long long>(number));
  return passFileStem(chosen) + suffix;
}

std::string lastPassFileName(const std::string& chosen) {
  return fileNameOf(passFilePath(chosen, kLastPassNumber, passFileDigits(kLastPassNumber)));
}

int passFileDigits(int64_t lastNumber) {
  int digits = 1;
  for (int64_t n = lastNumber; n >= 10; n /= 10) ++digits;
  return digits < 4 ? 4 : digits;
}

int64_t highestPassFile(const std::string& chosen) {
  const std::string stemName = fileNameOf(passFileStem(chosen));
  std::error_code error;
  int64_t highest = 0;
  for (std::filesystem::directory_iterator it(folderPath(chosen), error), end; !error && it != end;
       it.increment(error)) {
    const int64_t number = passNumberOf(it->path().filename().string(), stemName);
    if (number > highest) highest = number;
  }
  return highest;
}

PassFilePlan planPassFiles(const std::string& chosen, int64_t plannedPasses) {
  PassFilePlan plan;
  const std::filesystem::path folder = folderPath(chosen);
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(folder, error);
  if (!std::filesystem::exists(status)) {
    plan.error = PassPlanError::NoFolder;
    return plan;
  }
  if (!std::filesystem::is_directory(status)) {
    plan.error = PassPlanError::NotAFolder;
    return plan;
  }
  plan.firstNumber = highestPassFile(chosen) + 1;
  if (plan.firstNumber > kLastPassNumber) plan.error = PassPlanError::NumbersUsedUp;
  const int64_t first = std::min(plan.firstNumber, kLastPassNumber);
  const int64_t more = plannedPasses > 1 ? std::min(plannedPasses - 1, kLastPassNumber - first) : 0;
  plan.digits = passFileDigits(first + more);
  return plan;
}

}  // namespace tolvane
