/*
 * Server procedure of the stock-quote interface: knows the prices of one
 * ticker symbol, "QRVX".
 */
#include <string.h>

#include "quote.h"

int getQuote(stkQuote* quote)
{
    /* The ticker arrives as five raw bytes that need not hold a NUL, so the
	 * comparison stays within them. */
    if (quote == 0 || strncmp(quote->Ticker, "QRVX", sizeof(quote->Ticker)) != 0)
        return -1;
    quote->Low = 40.0;
    quote->High = 50.0;
    quote->Close = 45.0;
    return 0;
}
