/* Error reporting of the runtime: every report of the codecs and of
 * generated code goes through vlrpc_report_event to one process-wide,
 * settable report function. */
#include <stdio.h>

#include "velorin.h"

/* The installed report function; forked children inherit it. */
static vlrpc_perr_call_t vlrpc_perr_call = print_stderr;

void print_stderr(char* text)
{
    /* The text is data, never a format: a "%s" in it is written as is. */
    fprintf(stderr, "%s", text);
}

void vlrpc_report_event(char* text) { vlrpc_perr_call(text); }

void vl_set_err_report_func(vlrpc_perr_call_t f)
{
    if (f != NULL)
        vlrpc_perr_call = f;
}
