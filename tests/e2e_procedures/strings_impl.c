#include <ctype.h>
#include <string.h>

#include "strings.h"

void reversestr(str256 s)
{
    size_t n = s ? strlen(s) : 0, i;
    for (i = 0; i < n / 2; i++) {
        char c = s[i];
        s[i] = s[n - 1 - i];
        s[n - 1 - i] = c;
    }
}

int birthday(struct person* p)
{
    size_t i;
    for (i = 0; p->name && p->name[i]; i++)
        p->name[i] = toupper((unsigned char)p->name[i]);
    return ++p->age;
}

/* The lengths of both strings, as one number. */
int lookup(filename name, nfspath path) { return (int)(strlen(name) * 10000 + strlen(path)); }

/* A path of `length` characters, at most its bound. */
nfspath readpath(int length)
{
    static char target[1024 + 1];
    if (length < 0 || length > 1024)
        length = 0;
    memset(target, 'l', (size_t)length);
    target[length] = 0;
    return target;
}
