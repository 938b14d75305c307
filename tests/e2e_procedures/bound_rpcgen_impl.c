/* rpcgen's server of bound.x: what bound_impl.c does, in rpcgen's form. */
#include <ctype.h>
#include <string.h>

#include "bound.h"

static char text[16 + 1];
static bound_res res;

bound_res* turn_1_svc(s16* s, struct svc_req* req)
{
    size_t i;
    (void)req;
    strncpy(text, *s, 16);
    for (i = 0; text[i]; i++)
        text[i] = (char)toupper((unsigned char)text[i]);
    res.s = text;
    res.result = (int)strlen(text);
    return &res;
}

bound_res* fill_1_svc(int* n, struct svc_req* req)
{
    int count = *n < 0 || *n > 16 ? 0 : *n;
    (void)req;
    memset(text, 'o', (size_t)count);
    text[count] = 0;
    res.s = text;
    res.result = count;
    return &res;
}
