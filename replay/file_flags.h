// The flags of open() that the command's files are made with, where the
// system lacks them: Windows has no close-on-exec (its handles are not
// inherited unless asked for), and elsewhere every file is binary.
#ifndef QELMA_REPLAY_FILE_FLAGS_H
#define QELMA_REPLAY_FILE_FLAGS_H

#include <fcntl.h>

#if !defined(O_CLOEXEC)
#define O_CLOEXEC 0
#endif
#if !defined(O_BINARY)
#define O_BINARY 0
#endif

#endif // QELMA_REPLAY_FILE_FLAGS_H
