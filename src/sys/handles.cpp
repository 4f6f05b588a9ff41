#include "sys/handles.h"

#include <sys/mman.h>

bool Mapping::valid() const { return address_ != MAP_FAILED && address_ != nullptr; }

int Mapping::unmap() {
    if (!valid()) return 0;
    void* address = std::exchange(address_, MAP_FAILED);
    return sys().munmap(address, length_);
}
