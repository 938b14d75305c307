/* The procedures of the benchmark's pb server: fill writes n ints, twice
 * doubles the n it was sent, echo sends the string back as it came. */
#include "pb.h"

void ping(void) { }

void echo(str256 s) { (void)s; }

void fill(int n, int* v)
{
    int i;
    for (i = 0; i < n; i++)
        v[i] = i;
}

void twice(int* v, int n)
{
    int i;
    for (i = 0; i < n; i++)
        v[i] *= 2;
}
