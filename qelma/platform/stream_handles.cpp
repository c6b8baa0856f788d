// See stream_handles.h.
#include "qelma/platform/stream_handles.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>

bool plat_keep_from_children(int fd) {
    const intptr_t handle = _get_osfhandle(fd);
    return handle != -1 &&
           SetHandleInformation(reinterpret_cast<HANDLE>(handle), HANDLE_FLAG_INHERIT, 0) != 0;
}
#else
#include <fcntl.h>

bool plat_keep_from_children(int fd) { return fcntl(fd, F_SETFD, FD_CLOEXEC) == 0; }
#endif
