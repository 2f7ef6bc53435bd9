#pragma once
// What writing a file gave. A failed write leaves the target as it was
// (every file goes through the atomic writer), so the caller only has to
// say so.
namespace tolvane {

enum class [[nodiscard]] FileWriteOutcome { Written, WriteFailed };

}  // namespace tolvane
