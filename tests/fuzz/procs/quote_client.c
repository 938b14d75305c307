/* Calls the stock-quote client stub with the input as the server's reply:
 * the caller's quote is decoded into in place. */
#define VELORIN_XDR
#include "quote.h"

#include "fuzz_wire.h"

#include <string.h>

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	stkQuote quote;

	memset(&quote, 0, sizeof quote);
	memcpy(quote.Ticker, "ACME", 4);
	quote_bind_handle(fuzz_client());
	fuzz_client_reply(data, size);
	getQuote(&quote);
	fuzz_see(&quote, sizeof quote);
	return 0;
}
