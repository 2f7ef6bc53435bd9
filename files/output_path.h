#pragma once
// Where an output really goes, and whether it can be written there, known
// before any work is done (an acquisition must not run for its whole
// preset only to find that its file cannot be written).
#include <string>

namespace tolvane {

// The path with its chain of symbolic links followed (a link's target may
// not exist yet); the path itself when it is no link.
std::string followLinks(const std::string& path);

enum class [[nodiscard]] OutputProblem {
  None,
  NoSuchFolder,       // the folder the file would go into does not exist
  IsFolder,           // the path names a folder
  NotWritable,        // the file exists and cannot be written
  FolderNotWritable,  // the folder exists but a file cannot be made in it
  NameTooLong,        // the file name or the whole path is longer than the system takes
};

OutputProblem checkOutputPath(const std::string& path);
// "no such folder", "is a folder", "not writable", "folder not writable",
// "name too long (...)".
const char* outputProblemText(OutputProblem problem);

}  // namespace tolvane
