#include <ctype.h>
#include <string.h>

#include "bound.h"

/* The string in upper case; its length. */
int turn(s16 s)
{
    size_t i;
    for (i = 0; s && s[i]; i++)
        s[i] = (char)toupper((unsigned char)s[i]);
    return s ? (int)strlen(s) : -1;
}

/* n letters o, at most the bound; n. */
int fill(int n, s16 s)
{
    static char letters[16 + 1];
    if (n < 0 || n > 16)
        n = 0;
    memset(letters, 'o', (size_t)n);
    letters[n] = 0;
    strcpy(s, letters);
    return n;
}
