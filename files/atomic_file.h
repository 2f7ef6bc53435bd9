#pragma once
// Writes a whole file so that the target is always either the old complete
// file or the new complete one: the bytes go to a temporary file in the
// same folder, are flushed to disk, and then replace the target in one
// rename. A failure leaves the target as it was and removes the temporary.
// A symbolic link is written through: its target is replaced and the link
// stays. A device or pipe is written directly, as it cannot be replaced.
// With IfTargetExists::Keep the new file takes the name only while no file
// has it, in the same single step, so a file made meanwhile by another
// program is never replaced.
#include <cstddef>
#include <cstdint>
#include <string>

namespace tolvane {

enum class IfTargetExists { Replace, Keep };

[[nodiscard]] bool writeFileAtomically(const std::string& path, const void* data, size_t size,
                                       std::string* error = nullptr, IfTargetExists existing = IfTargetExists::Replace);

}  // namespace tolvane
