/* Client of the lies interface against a lying server on 127.0.0.1:
 * lies_client <port> <tcp|udp>. Prints the status of each call (and what
 * the calls that succeed brought). */
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
