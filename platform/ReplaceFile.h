// Writing a small file whole.
#pragma once

#include <string>

namespace platform {

// Writes text to a new file beside path and renames it over path, so that a reader sees the
// old file or the new one, never half of one, and a link planted under that name is replaced
// rather than written through. mode is the new file's permission bits. False on failure, with
// path unchanged.
bool ReplaceFile(const std::string& path, const std::string& text, unsigned mode);

} // namespace platform
