/* Calls scale once on the host of the first argument and prints the result
 * and the call's status, which is also the exit status (0: the call was
 * answered). */
#include <stdio.h>
#include <stdlib.h>

#include "habits.h"

int main(int argc, char* argv[])
{
    int result;
    enum clnt_stat status;

    if (argc != 3 || habits_bind(argv[1], 0, 0, "tcp") == 0) {
        fprintf(stderr, "usage: habits_client <host> <number>, and a server\n");
        return 2;
    }
    result = scale(atoi(argv[2]));
    status = habits_errno(0);
    printf("%d %d\n", result, (int)status);
    habits_unbind(0);
    return status == RPC_SUCCESS ? 0 : 1;
}
