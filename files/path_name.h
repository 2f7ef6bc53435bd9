#pragma once
#include <string>
namespace tolvane {
// The file name of a path: the part after its last '/' or '\'.
std::string fileNameOf(const std::string& path);
// The folder of a path, with its trailing separator ("" when it has none).
std::string folderOf(const std::string& path);
}  // namespace tolvane
