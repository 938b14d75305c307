/* Client of the lies interface against a lying server on 127.0.0.1:
 * lies_client <port> <tcp|udp> [names <seconds>]. Prints the status of each
 * call (and what the calls that succeed brought). */
#include <arpa/inet.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "lies.h"

static CLIENT* connect_to(int port, const char* proto)
{
    struct sockaddr_in addr;
    struct timeval wait = {2, 0};
    int sock = RPC_ANYSOCK;
    memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = inet_addr("127.0.0.1");
    if (strcmp(proto, "tcp") == 0)
        return clnttcp_create(&addr, LIES, LIES_1, &sock, 0, 0);
    return clntudp_create(&addr, LIES, LIES_1, wait, &sock);
}

/* The inout string array: each element keeps the caller's buffer and, when
 * the call fails, its contents. Prints the status, whether the buffers are
 * the caller's, and the strings (their lengths when longer than 3). */
static void call_names(void)
{
    char b0[64] = "a", b1[64] = "bb", b2[64] = "ccc";
    str64 a[3];
    int i;

    a[0] = b0;
    a[1] = b1;
    a[2] = b2;
    names(a);
    printf("names: %d %s", (int)lies_errno(0),
           a[0] == b0 && a[1] == b1 && a[2] == b2 ? "own" : "moved");
    for (i = 0; i < 3; i++) {
        if (a[i] != b0 && a[i] != b1 && a[i] != b2)
            printf(" -");
        else if (strlen(a[i]) > 3)
            printf(" %d", (int)strlen(a[i]));
        else
            printf(" %s", a[i]);
    }
    printf("\n");
}

int main(int argc, char** argv)
{
    int small[10], big[100], r, i;
    struct named one[1], four[4];
    char s[16] = "mine", c[16] = "c16";
    struct held h;
    CLIENT* clnt;

    if (argc < 3 || !(clnt = connect_to(atoi(argv[1]), argv[2]))) {
        printf("no client\n");
        return 1;
    }
    lies_bind_handle(clnt);
    /* lies_client <port> <tcp|udp> names <seconds>: that call alone, with
     * a call timeout of that many seconds. */
    if (argc > 4 && strcmp(argv[3], "names") == 0) {
        LIES_1_timeout.tv_sec = atoi(argv[4]);
        LIES_1_timeout.tv_usec = 0;
        call_names();
        clnt_destroy(clnt);
        return 0;
    }

    memset(small, 0, sizeof small);
    fill(10, small);
    printf("fill 10: %d\n", (int)lies_errno(0));
    r = fill(100, big);
    printf("fill 100: %d %d %d\n", (int)lies_errno(0), r, big[99]);

    memset(one, 0, sizeof one);
    fillnamed(1, one);
    printf("fillnamed 1: %d\n", (int)lies_errno(0));
    /* Refused after its elements were decoded: what they allocated is
	   released and the buffer is blank again. */
    memset(four, 0, sizeof four);
    fillnamed(3, four);
    printf("fillnamed 3: %d %s\n", (int)lies_errno(0),
           four[0].name || four[2].name ? "kept" : "blank");
    memset(four, 0, sizeof four);
    r = fillnamed(4, four);
    printf("fillnamed 4: %d %d %s %d\n", (int)lies_errno(0), r, four[3].name ? four[3].name : "-",
           four[3].id);
    for (i = 0; i < 4; i++)
        named_freeres(&four[i]);

    name(s);
    printf("name: %d\n", (int)lies_errno(0));
    echo(s, c);
    printf("echo: %d\n", (int)lies_errno(0));

    memset(s, 0, sizeof s);
    r = get(s, 1, 16);
    printf("get 16: %d %d\n", (int)lies_errno(0), r);
    r = get(s, 1, 2);
    printf("get 2: %d %d %.2s\n", (int)lies_errno(0), r, s);

    /* The caller's int arm holds 5; the reply switches to the string arm. */
    memset(&h, 0, sizeof h);
    h.kind = 1;
    h.u.code = 5;
    swapheld(&h);
    printf("swapheld: %d %d %s\n", (int)lies_errno(0), h.kind,
           h.kind == 2 && h.u.text ? h.u.text : "-");
    held_freeres(&h);

    clnt_destroy(clnt);
    return 0;
}
