#include "board/mem_error.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sys/sys.h"

void fatal_mem_error(int line, const char* file) {
    int error = errno;
    std::fprintf(stderr, "Error at line %d, file %s (%d) [%s]\n", line, file, error,
                 std::strerror(error));
    sys().exit(1);
    std::abort();  // not reached: every backend ends the process
}
