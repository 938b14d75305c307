/* Client of the strings interface. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "strings.h"

int main(int argc, char** argv)
{
    char text[256] = "stressed";
    char name[64] = "ada";
    struct person p;
    int age;
    char file[256 + 1], path[1024 + 1];
    nfspath target;
    int lengths, longest;

    if (argc < 3 || !strings_bind(argv[1], 0, 0, argv[2])) {
        printf("bind failed\n");
        return 1;
    }
    reversestr(text);
    p.name = name;
    p.age = 36;
    age = birthday(&p);
    printf("reversestr %s birthday %d %s %d status %d\n", text, age, p.name, p.age,
           (int)strings_errno(0));

    /* Strings of their bound to the server and back, then one character
       more, which the stub does not send. */
    memset(file, 'f', 255);
    file[255] = 0;
    memset(path, 'p', 1024);
    path[1024] = 0;
    lengths = lookup(file, path);
    printf("lookup %d status %d\n", lengths, (int)strings_errno(0));
    target = readpath(1024);
    longest = target && strspn(target, "l") == 1024 && target[1024] == 0;
    printf("readpath %d status %d\n", longest, (int)strings_errno(0));
    free(target);
    strcat(file, "f");
    lengths = lookup(file, path);
    printf("longer name %d status %d\n", lengths, (int)strings_errno(0));
    strings_unbind(0);
    return 0;
}
