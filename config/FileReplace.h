#pragma once

#include <string>
#include <string_view>

/// Replaces the whole content of the file at `path` with `bytes`.
///
/// Where it can, it writes a temporary file beside the target and renames it over the target,
/// so that a failed write leaves the old file whole; the new file keeps the old one's
/// permissions and owner. Where no temporary file can be made (a folder the user may not
/// write) or the owner cannot be kept (a save by another user, e.g. root), the file is
/// rewritten in place instead, which keeps owner and permissions by itself. A file whose
/// permission bits say read-only is refused. A linked file is replaced where it lies.
/// On failure returns false with a description of the reason in errText.
bool ReplaceFileContent(const std::string& path, std::string_view bytes, std::string& errText);
