/* Count-less XDR codecs: the counterparts of xdr_array and xdr_bytes for
 * arrays whose element count is carried by another field of the record.
 * Only the elements (or the padded bytes) are on the wire, no count word. */
#include <stdlib.h>
#include <limits.h>

#include "velorin.h"

bool_t xdr_array_vl(XDR* xdrs, caddr_t* addrp, u_int* sizep, u_int maxsize, u_int elsize,
                    xdrproc_t elproc)
{
    u_int count = *sizep;

    if (xdrs->x_op != XDR_FREE) {
        if (count > maxsize)
            return FALSE;
        /* The array's byte size is a 32-bit quantity; a count whose size
         * does not fit would describe an array no caller could hold. */
        if (elsize != 0 && count > UINT_MAX / elsize)
            return FALSE;
    }

    if (*addrp == NULL) {
        switch (xdrs->x_op) {
        case XDR_DECODE:
            if (count == 0)
                return TRUE;
            *addrp = calloc(count, elsize);
            if (*addrp == NULL) {
                vlrpc_report_event("xdr_array_vl: out of memory\n");
                return FALSE;
            }
            break;
        case XDR_FREE:
            return TRUE;
        default:
            /* Encoding from a null array: only a count of 0 has elements
             * to read; anything more would read through a null pointer. */
            if (count != 0)
                return FALSE;
            break;
        }
    }

    if (!xdr_vector(xdrs, *addrp, count, elsize, elproc))
        return FALSE;

    if (xdrs->x_op == XDR_FREE) {
        free(*addrp);
        *addrp = NULL;
    }
    return TRUE;
}

bool_t xdr_bytes_vl(XDR* xdrs, char** cpp, u_int* sizep, u_int maxsize)
{
    u_int len = *sizep;

    if (len > maxsize && xdrs->x_op != XDR_FREE)
        return FALSE;

    switch (xdrs->x_op) {
    case XDR_DECODE:
        if (len == 0)
            return TRUE;
        if (*cpp == NULL) {
            *cpp = malloc(len);
            if (*cpp == NULL) {
                vlrpc_report_event("xdr_bytes: out of memory\n");
                return FALSE;
            }
        }
        return xdr_opaque(xdrs, *cpp, len);
    case XDR_ENCODE:
        /* A null buffer holds no bytes to send. */
        if (*cpp == NULL && len != 0)
            return FALSE;
        return xdr_opaque(xdrs, *cpp, len);
    case XDR_FREE:
        if (*cpp != NULL) {
            free(*cpp);
            *cpp = NULL;
        }
        return TRUE;
    }
    return FALSE;
}
