#pragma once

namespace qal {

// The platform's error numbers (see RunError.h) for what the host's file
// calls answer in errno: one place for every such mapping.

// A failed open; `reading` for a file opened for input, where a missing file
// is "file not found" rather than a missing folder on the way.
int openErrorNumber(int error, bool reading);

// A failed write, flush to the disk or close.
int writeErrorNumber(int error);

// A folder that could not be created.
int folderErrorNumber(int error);

} // namespace qal
