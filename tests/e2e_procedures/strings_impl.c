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
