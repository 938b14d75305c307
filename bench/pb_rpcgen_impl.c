/* The pb procedures for the rpcgen-generated server of the benchmark: the
 * same work as pb_impl.c. fill keeps its result until the next call, as
 * rpcgen servers do. */
#include <stdlib.h>

#include "pb_rpcgen.h"

void* ping_1_svc(void* in, struct svc_req* req)
{
    static char nothing;
    (void)in;
    (void)req;
    return &nothing;
}

str256* echo_1_svc(str256* in, struct svc_req* req)
{
    (void)req;
    return in;
}

int_block* fill_1_svc(int* n, struct svc_req* req)
{
    static int_block out;
    int i;
    (void)req;
    xdr_free((xdrproc_t)xdr_int_block, (char*)&out);
    out.n = *n;
    out.v.v_len = (u_int)*n;
    out.v.v_val = malloc((size_t)*n * sizeof(int) + 1);
    for (i = 0; i < *n; i++)
        out.v.v_val[i] = i;
    return &out;
}

int_block* twice_1_svc(int_block* in, struct svc_req* req)
{
    u_int i;
    (void)req;
    for (i = 0; i < in->v.v_len; i++)
        in->v.v_val[i] *= 2;
    return in;
}
