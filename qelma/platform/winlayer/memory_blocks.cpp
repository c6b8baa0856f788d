// Movable memory blocks (GlobalAlloc with GMEM_MOVEABLE, GlobalLock,
// GlobalUnlock, GlobalFree) for every backend but Win32. A block never moves
// here, so locking only hands out its address. Freed headers wait in a free
// list and are never given back, so a stale handle is recognised instead of
// being read after free.
#include "qelma/platform/platform.h"
#include "qelma/platform/winlayer/queue.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

struct PlatMemImpl {
    bool live;        // false once freed; the header stays for the check
    std::size_t size; // bytes the caller asked for
    char *data;       // the block, malloc'ed
};

namespace {
// Never destroyed: a static destructor running before the leak checker would
// make every pooled header look lost.
std::vector<PlatMemImpl *> &free_mems = *new std::vector<PlatMemImpl *>;
} // namespace

PlatMem plat_global_alloc(std::size_t bytes) {
    // One byte more than asked, so that even an empty block locks to memory.
    if (bytes >= SIZE_MAX - 1) {
        // Sizes go out as doubles: the Windows C library has no %zu.
        winlayer::warn("global_alloc: %.0f bytes is too large", static_cast<double>(bytes));
        return nullptr;
    }
    char *data = static_cast<char *>(std::malloc(bytes + 1));
    if (!data) {
        winlayer::warn("global_alloc: out of memory for %.0f bytes", static_cast<double>(bytes));
        return nullptr;
    }
    PlatMemImpl *m;
    if (!free_mems.empty()) {
        m = free_mems.back();
        free_mems.pop_back();
    } else {
        m = new PlatMemImpl();
    }
    m->live = true;
    m->size = bytes;
    m->data = data;
    return m;
}

char *plat_global_lock(PlatMem mem) {
    return mem && mem->live ? mem->data : nullptr;
}

void plat_global_unlock(PlatMem mem) {
    (void)mem;
}

void plat_global_free(PlatMem mem) {
    if (!mem)
        return;
    if (!mem->live) {
        winlayer::warn("global_free: the block was already freed");
        return;
    }
    std::free(mem->data);
    mem->data = nullptr;
    mem->live = false;
    free_mems.push_back(mem);
}
