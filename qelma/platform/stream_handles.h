// The one thing about a process's files that the session needs of the
// system, outside the window seam: the replay stream it writes is kept
// from the processes the program starts, so that one left behind does not
// hold qelma-replay's pipe open nor write into it.
#ifndef QELMA_PLATFORM_STREAM_HANDLES_H
#define QELMA_PLATFORM_STREAM_HANDLES_H

// fd is a descriptor of the C runtime: close-on-exec on POSIX systems, its
// handle made not inheritable on Windows. False when that cannot be done.
bool plat_keep_from_children(int fd);

#endif // QELMA_PLATFORM_STREAM_HANDLES_H
