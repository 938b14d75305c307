/*
 * Client of the ports interface: binds with the protocol given ("-" for
 * the interface's default) and calls add once.
 *
 *   ports_client <host> <protocol or ->
 */
#include <stdio.h>
#include <string.h>

#include "ports.h"

int main(int argc, char** argv)
{
    char* proto;
    int sum;

    if (argc < 3) {
        fprintf(stderr, "usage: %s host protocol\n", argv[0]);
        return 2;
    }
    proto = strcmp(argv[2], "-") == 0 ? 0 : argv[2];
    if (!ports_bind(argv[1], 0, 0, proto)) {
        printf("bind failed\n");
        return 1;
    }
    sum = add(2, 3);
    printf("add %d status %d\n", sum, (int)ports_errno(0));
    ports_unbind(0);
    return 0;
}
