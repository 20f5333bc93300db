#pragma once

namespace velmora {

// Keeps the memory of finished files in the process heap for the next file.
//
// A progressive source makes libjpeg allocate its whole-picture coefficient array (tens of MB).
// With glibc's defaults each worker thread gets its own arena and such a block is always a fresh
// mmap, faulted in page by page and unmapped at the end of the file: about a third of a batch's
// CPU time went to the kernel handing out zeroed pages. One arena with high mmap and trim
// thresholds lets the next file reuse the pages, and the heap's first 192 MiB are faulted in as
// 2 MiB pages where the kernel offers them. Call once, at the start of main(), before any
// thread starts.
void keepFreedMemoryForReuse();

// Hands the memory kept for reuse back to the system. Call when a run has ended, so an idle
// program does not hold a whole batch's pages.
void giveFreedMemoryBack();

}  // namespace velmora
