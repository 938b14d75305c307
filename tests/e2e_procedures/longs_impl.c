/*
 * Server procedures of the longs interface. widest answers with a value
 * that the 32 bits of the wire cannot carry.
 */
#include "longs.h"

long echo(long l) { return l; }

unsigned long uecho(unsigned long u) { return u; }

long sumpair(struct pair p) { return p.l + (long)p.u; }

long sumfour(long v[4]) { return v[0] + v[1] + v[2] + v[3]; }

long widest(int unused)
{
    (void)unused;
    return (1L << 33) + 5;
}
