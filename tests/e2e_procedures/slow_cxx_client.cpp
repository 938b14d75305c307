// Client of the slow interface through the generated class: the object's
// own timeout applies to its calls.
//
//   slow_cxx_client <host> <timeout seconds> <key> <milliseconds>
//
// Prints what slow_client prints.
#include <cstdio>
#include <cstdlib>
#include <sys/time.h>

#include "slowClient.hpp"

static long now_ms()
{
    struct timeval tv;
    gettimeofday(&tv, 0);
    return tv.tv_sec * 1000L + tv.tv_usec / 1000;
}

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s host seconds key milliseconds\n", argv[0]);
        return 2;
    }
    Cslow_1 client;
    if (!client.bind(argv[1], "tcp")) {
        std::printf("bind failed\n");
        return 1;
    }
    struct timeval timeout = {std::atoi(argv[2]), 0};
    client.setTimeout(timeout);
    int seen = -1;
    long start = now_ms();
    int result = client.impatient_nap(std::atoi(argv[3]), std::atoi(argv[4]), &seen);
    long elapsed = now_ms() - start;
    struct rpc_err error;
    client.geterr(&error);
    std::printf("result %d seen %d status %d\n", result, seen, (int)error.re_status);
    std::printf("elapsed %ld\n", elapsed);
    client.destroy();
    return 0;
}
