#pragma once

namespace imaging {

// Sets up the metadata library once per process. Its XMP parser keeps global state that
// is not safe to create from two threads at once: call this on the main thread, or at
// least before the first worker that reads or writes metadata starts. Later calls cost a
// flag check.
void initializeExiv2();

} // namespace imaging
