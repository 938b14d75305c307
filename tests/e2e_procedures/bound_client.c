/* Client of the bound interface: strings of 0, 15 and 16 characters back
 * into its own storage of bound and terminator, inout and out; one of 17,
 * which the stub does not send; with "silent", calls to a server that never
 * answers, which leave the storage as it was. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "bound.h"

static void letters(char* s, int n, char c)
{
    memset(s, c, (size_t)n);
    s[n] = 0;
}

int main(int argc, char** argv)
{
    static const int lengths[] = {0, 15, 16};
    char s[16 + 1], wide[17 + 1];
    int i, n;

    if (argc < 4 || !bound_bind(argv[1], strtoul(argv[3], 0, 10), 1, argv[2])) {
        printf("bind failed\n");
        return 1;
    }
    if (argc > 4) {
        BOUND_1_timeout.tv_sec = 2;
        strcpy(s, "kept");
        turn(s);
        printf("silent turn %s status %d\n", s, (int)bound_errno(0));
        fill(3, s);
        printf("silent fill %s status %d\n", s, (int)bound_errno(0));
        bound_unbind(0);
        return 0;
    }
    for (i = 0; i < 3; i++) {
        letters(s, lengths[i], 'a');
        n = turn(s);
        printf("turn %d [%s] status %d\n", n, s, (int)bound_errno(0));
    }
    for (i = 0; i < 3; i++) {
        letters(s, 16, 'x');
        n = fill(lengths[i], s);
        printf("fill %d [%s] status %d\n", n, s, (int)bound_errno(0));
    }
    letters(wide, 17, 'w');
    turn(wide);
    printf("turn 17 %s status %d\n", strcmp(wide, "wwwwwwwwwwwwwwwww") == 0 ? "kept" : wide,
           (int)bound_errno(0));
    bound_unbind(0);
    return 0;
}
