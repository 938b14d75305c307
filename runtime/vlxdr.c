/* Freeing of decoded records and serialisation of records to stdio. */
#include <string.h>

#include "velorin.h"

void vl_free_reference(xdrproc_t proc, void* ptr, u_int size)
{
    XDR x;

    if (ptr == NULL)
        return;
    /* A free pass reads no stream: only the operation of the handle counts.
     * xdr_reference frees the contents through proc, then the object. */
    memset(&x, 0, sizeof x);
    x.x_op = XDR_FREE;
    xdr_reference(&x, (char**)&ptr, size, proc);
}

int vl_serialize(FILE* fp, xdrproc_t xdrproc, void* pdata, enum xdr_op op)
{
    XDR x;
    int result;

    xdrstdio_create(&x, fp, op);
    result = (*xdrproc)(&x, pdata);
    /* Destroying a stdio stream flushes what an encoding wrote. */
    xdr_destroy(&x);
    return result;
}
