/* Client of version 1 of the twover program. */
#include <stdio.h>

#include "twover1.h"

int main(int argc, char** argv)
{
    if (argc < 3 || !twover_bind(argv[1], 0, 0, argv[2])) {
        printf("bind failed\n");
        return 1;
    }
    printf("which %d add %d\n", which(), add(2, 3));
    twover_unbind(0);
    return 0;
}
