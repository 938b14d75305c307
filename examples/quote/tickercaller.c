/*
 * Stock-quote client: asks the quote server on a host for the prices of one
 * ticker symbol and prints them.
 *
 *   tickercaller server_host ticker
 */
#include <signal.h>
#include <stdio.h>
#include <string.h>

#include "quote.h"

int main(int argc, char** argv)
{
    stkQuote quote;
    int result;

    if (argc < 3) {
        printf("Usage: %s server_host ticker\n", argv[0]);
        return 0;
    }
    /* A server that goes away after the bind fails the call rather than
	 * ending the client: writing to its closed connection raises SIGPIPE. */
    signal(SIGPIPE, SIG_IGN);
    if (quote_bind(argv[1], 0, 0, 0) == 0) {
        printf("fail connect to server\n");
        return 0;
    }

    /* A zeroed record, so that no stack garbage travels, and a ticker cut to
	 * the four characters the record holds besides its NUL. */
    memset(&quote, 0, sizeof(quote));
    strncpy(quote.Ticker, argv[2], sizeof(quote.Ticker) - 1);

    result = getQuote(&quote);
    /* The stub returns 0 also when the call itself failed; only a completed
	 * call with result 0 carries prices. */
    if (result != 0 || quote_errno(0) != RPC_SUCCESS) {
        printf("Fail get quote\n");
        quote_unbind(0);
        return 1;
    }
    printf("quote: Ticker = %s, Low = %f, High= %f, Close = %f\n", quote.Ticker, quote.Low,
           quote.High, quote.Close);
    quote_unbind(0);
    return 0;
}
