/*
 * Client of the startup interface: the stubs keep the procedure names
 * whatever the server functions are called.
 */
#include <stdio.h>

#include "startup.h"

int main(int argc, char** argv)
{
    if (argc < 2 || !startup_bind(argv[1], 0, 0, 0)) {
        printf("bind failed\n");
        return 1;
    }
    printf("add %d sub %d version %d\n", add(7, 5), sub(7, 5), (int)STARTUP_3);
    startup_unbind(0);
    return 0;
}
