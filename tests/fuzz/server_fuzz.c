/* Serves one request through a generated dispatcher and the runtime's
 * call path: the first byte is the procedure number (also numbers the
 * interface does not have), the rest the request body. The server
 * procedures are stand-ins that read every argument and fill every result
 * the way a programmer's procedures may. Whatever the body, the client
 * gets an answer: the reply, or an error (a result that cannot be encoded
 * is followed by a system error). FUZZ_HEADER names the generated header,
 * FUZZ_DISPATCHER the dispatcher of the version; FUZZ_HELD_PROCEDURES,
 * when defined, lists the procedure numbers held out of the run until
 * their generated code is mended. */
#define VELORIN_XDR
#define VELORIN_SERVER
#include FUZZ_HEADER

#include "fuzz_wire.h"

#include <string.h>

static int held(u_long procedure)
{
#ifdef FUZZ_HELD_PROCEDURES
	static const u_long procedures[] = { FUZZ_HELD_PROCEDURES };
	size_t i;

	for (i = 0; i < sizeof procedures / sizeof procedures[0]; i++)
		if (procedures[i] == procedure)
			return 1;
#endif
	(void)procedure;
	return 0;
}

static void report_nothing(char *text)
{
	(void)text;
}

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	struct svc_req request;

	if (size == 0 || held(data[0]))
		return 0;
	vl_set_err_report_func(report_nothing);
	memset(&request, 0, sizeof request);
	request.rq_proc = data[0];
	request.rq_xprt = fuzz_transport(data + 1, size - 1);
	FUZZ_DISPATCHER(&request, request.rq_xprt);
	FUZZ_CHECK(fuzz_transport_replies() == 1 || fuzz_transport_replies() == 2);
	return 0;
}
