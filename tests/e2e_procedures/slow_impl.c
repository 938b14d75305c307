/*
 * Server procedures of the slow interface.
 */
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include "slow.h"

static int exists(const char* path) { return access(path, F_OK) == 0; }

/* The first nap of a key leaves the mark meet.<key>.1 and waits for the
 * mark of a second one; the second leaves meet.<key>.2 and sees the
 * first's at once. */
static int nap_for(int key, int ms, int* seen)
{
    char first[64], second[64];
    int fd, waited;

    snprintf(first, sizeof first, "meet.%d.1", key);
    snprintf(second, sizeof second, "meet.%d.2", key);
    fd = open(first, O_CREAT | O_EXCL | O_WRONLY, 0644);
    if (fd < 0)
        fd = open(second, O_CREAT | O_WRONLY, 0644);
    if (fd >= 0)
        close(fd);
    for (waited = 0; !exists(second) && waited < ms; waited += 10)
        usleep(10000);
    *seen = exists(second) ? 2 : 1;
    return (int)getpid();
}

int nap(int key, int ms, int* seen) { return nap_for(key, ms, seen); }

int forked_nap(int key, int ms, int* seen) { return nap_for(key, ms, seen); }

int threaded_nap(int key, int ms, int* seen) { return nap_for(key, ms, seen); }

/* Runs after its reply has gone: waits until the test lets it go on (or
 * ms milliseconds), then leaves a file behind to show it ran. */
int early(int ms, int* done)
{
    FILE* f;
    int waited;
    for (waited = 0; !exists("early.release") && waited < ms; waited += 10)
        usleep(10000);
    f = fopen("early.done", "w");
    if (f)
        fclose(f);
    *done = 1;
    return 7;
}

int impatient_nap(int key, int ms, int* seen) { return nap_for(key, ms, seen); }
