// Entry point of the Velorin interface compiler.
#include "driver/compile_flow.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char** argv)
{
#ifdef __GLIBC__
    // Generated text is built in strings of up to hundreds of kilobytes for
    // deeply nested types. glibc hands the freed top of its heap back to the
    // kernel at once and then faults the same pages in again for the next
    // string, which made page faults most of such a compile's time. A
    // megabyte kept at the top of the heap ends that for a short-lived
    // process and costs nothing in its peak memory.
    mallopt(M_TOP_PAD, 1 << 20);
#endif
    return runCompiler(argc, argv);
}
