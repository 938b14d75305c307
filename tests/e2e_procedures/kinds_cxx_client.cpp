// C++ client of the kinds interface: two objects of the generated class,
// each bound to a server of its own, must keep their handles apart.
//
//   kinds_cxx_client <host> <program of server A> <program of server B>
#include <cstdio>
#include <cstdlib>

#include "kindsClient.hpp"

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s host programA programB\n", argv[0]);
        return 2;
    }
    unsigned long progA = std::strtoul(argv[2], 0, 0);
    unsigned long progB = std::strtoul(argv[3], 0, 0);

    Ckinds_1 unbound;
    std::printf("unbound method add %d\n", unbound.add(2, 3));

    // A string literal binds as a protocol name, and so does a plain char*.
    char udp[] = "udp";
    Ckinds_1 a, b;
    if (!a.bind(argv[1], "tcp", progA) || !b.bind(argv[1], udp, progB)) {
        std::printf("bind failed\n");
        return 1;
    }
    a.reset();
    b.reset();
    a.counter();
    a.counter();
    int fromA = a.counter();
    int fromB = b.counter();
    std::printf("counter A %d B %d\n", fromA, fromB);
    struct point p = {1, 2};
    struct point moved = b.movept(p, 5);
    std::printf("method movept %d %d\n", moved.x, moved.y);
    int vals[3] = {4, 5, 6};
    std::printf("method sum %d\n", a.sum(vals, 3));
    // The C stubs' global handle was never bound: the objects did not touch it.
    std::printf("stub counter %d\n", counter());

    a.destroy();
    std::printf("destroyed A counter %d, B counter %d\n", a.counter(), b.counter());
    b.finish();
    return 0;
}
