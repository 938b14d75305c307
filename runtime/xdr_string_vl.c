/* Strings measured by their own length, decoded apart from the storage a
 * caller gave for them, so that only a whole, checked string reaches it. */
#include <stdlib.h>
#include <string.h>

#include "velorin.h"

bool_t vlrpc_decode_string(XDR* xdrs, char** string, u_int maxlen, u_int* len)
{
    return xdr_u_int(xdrs, len) && *len <= maxlen &&
           vlrpc_decode_elements(xdrs, string, *len, 1, (xdrproc_t)0);
}

bool_t vlrpc_settle_string(char** string, char* given, bool_t ok)
{
    if (given == 0) {
        if (!ok && *string != 0)
            vlrpc_release(string, 0, 1, (xdrproc_t)0);
        return ok;
    }
    /* Decoding leaves a zeroed byte behind the count, and the checks hold
     * the length within the bound: the copy fits the caller's room. */
    if (ok && *string != 0)
        strcpy(given, *string);
    free(*string);
    *string = given;
    return ok;
}

bool_t vlrpc_decode_string_in_room(XDR* xdrs, char* room, u_int maxlen, u_int* len)
{
    if (!xdr_u_int(xdrs, len) || *len > maxlen || !xdr_opaque(xdrs, room, *len))
        return FALSE;
    room[*len] = 0;
    return TRUE;
}
