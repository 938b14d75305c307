/* A client of the remote-file server over UDP: rfile_udp_writer <bytes>
 * writes that many bytes to the new remote file "udp_out" and closes it,
 * then changes to the served directory. Prints the results of the write,
 * the close and the change of directory, each with the call's status
 * (the writes: the first status that is not RPC_SUCCESS, else 0). */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "rfile.h"

int main(int argc, char** argv)
{
    static char block[1024];
    long bytes = argc > 1 ? atol(argv[1]) : 0, done;
    int status = 0, r;
    rFILE* f;

    if (!rfile_bind("127.0.0.1", 0, 0, "udp")) {
        printf("no client\n");
        return 1;
    }
    memset(block, 'u', sizeof block);
    f = rfopen("udp_out", "wb");
    if (f == 0) {
        printf("open: %d\n", (int)rfile_errno(0));
        return 1;
    }
    for (done = 0; done < bytes && status == 0; done += sizeof block) {
        rfwrite(block, 1, sizeof block, f);
        status = (int)rfile_errno(0);
    }
    printf("write: %d\n", status);
    r = rfclose(f);
    printf("close: %d %d\n", (int)rfile_errno(0), r);
    r = rchdir("/");
    printf("chdir: %d %d\n", (int)rfile_errno(0), r);
    vl_free_reference((xdrproc_t)xdr_rFILE, f, sizeof *f);
    rfile_unbind(0);
    return 0;
}
