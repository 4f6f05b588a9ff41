#include "board/phys_mem_byte.h"

#include <fcntl.h>
#include <sys/mman.h>

#include "board/mem_error.h"
#include "sys/handles.h"
#include "sys/sys.h"

namespace {
constexpr uint32_t kPageSize = 4096;
// The name these errors have always carried: the board-revision checks that
// read the byte live beside the GPIO probes.
constexpr const char* kErrorFile = "gpio";
}  // namespace

uint8_t getMemByte(uint32_t address) {
    Fd mem(sys().open("/dev/mem", O_RDWR));
    if (!mem.valid()) fatal_mem_error(__LINE__, kErrorFile);
    uint32_t page = address & ~(kPageSize - 1);
    Mapping mapping(sys().mmap(nullptr, kPageSize, PROT_READ, MAP_SHARED, mem.get(), page),
                    kPageSize);
    if (!mapping.valid()) fatal_mem_error(__LINE__, kErrorFile);
    return static_cast<const uint8_t*>(mapping.get())[address - page];
}
