/* Client of version 2 of the twover program. */
#include <stdio.h>

#include "twover2.h"

int main(int argc, char** argv)
{
    if (argc < 3 || !twover_bind(argv[1], 0, 0, argv[2])) {
        printf("bind failed\n");
        return 1;
    }
    printf("which %d add %d mul %d\n", which(), add(2, 3), mul(2, 3));
    twover_unbind(0);
    return 0;
}
