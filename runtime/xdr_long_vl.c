/* Checked codecs of C's long and unsigned long, which XDR carries in 32
 * bits. The C library's xdr_long and xdr_u_long keep only the low 32 bits
 * of a wider value, so a call would succeed with a different number; these
 * refuse to encode a value the wire cannot carry. What they write for every
 * value that fits, and what they read, are the same four bytes. */
#include <stdint.h>

#include "velorin.h"

bool_t xdr_long_vl(XDR* xdrs, long* lp)
{
    int32_t wire;

    switch (xdrs->x_op) {
    case XDR_ENCODE:
        if (*lp < INT32_MIN || *lp > INT32_MAX)
            return FALSE;
        wire = (int32_t)*lp;
        return xdr_int32_t(xdrs, &wire);
    case XDR_DECODE:
        /* Read as a signed 32-bit number, so that a negative value arrives
         * negative where long is wider than 32 bits. */
        if (!xdr_int32_t(xdrs, &wire))
            return FALSE;
        *lp = wire;
        return TRUE;
    default:
        return TRUE;
    }
}

bool_t xdr_u_long_vl(XDR* xdrs, u_long* ulp)
{
    uint32_t wire;

    switch (xdrs->x_op) {
    case XDR_ENCODE:
        if (*ulp > UINT32_MAX)
            return FALSE;
        wire = (uint32_t)*ulp;
        return xdr_uint32_t(xdrs, &wire);
    case XDR_DECODE:
        if (!xdr_uint32_t(xdrs, &wire))
            return FALSE;
        *ulp = wire;
        return TRUE;
    default:
        return TRUE;
    }
}
