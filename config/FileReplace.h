#pragma once

#include <string>
#include <string_view>

/// Replaces the whole content of the file at `path` with `bytes`.
///
/// It writes a temporary file beside the target, flushes it to the disk and renames it over
/// the target (then flushes the folder), so that a failed write (a full disk, an I/O error)
/// or a loss of power leaves the old file whole; the new file keeps the old one's permissions
/// and owner. Only where no temporary file can be created (a folder the user may not write),
/// or where the owner cannot be kept (a save by another user, e.g. root) after the whole
/// content was written, is the file rewritten in place instead. A file whose permission bits
/// say read-only is refused. A linked file is replaced where it lies; a device or a pipe is
/// written, not replaced.
/// On failure returns false with a description of the reason in errText.
bool ReplaceFileContent(const std::string& path, std::string_view bytes, std::string& errText);

/// Whether ReplaceFileContent can start on `path`: its temporary file is created and removed
/// again (or, where none can be, the file itself may be written). Made before work whose
/// result cannot be had again, so that a wrong destination is found out first.
bool CanReplaceFile(const std::string& path, std::string& errText);
