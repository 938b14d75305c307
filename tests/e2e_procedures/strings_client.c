/* Client of the strings interface. */
#include <stdio.h>
#include <string.h>

#include "strings.h"

int main(int argc, char** argv)
{
    char text[256] = "stressed";
    char name[64] = "ada";
    struct person p;
    int age;

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
    strings_unbind(0);
    return 0;
}
