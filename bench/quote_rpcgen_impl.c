/* The quote procedure for the rpcgen-generated server of the benchmark: the
 * same work as examples/quote/tickerimpl.c. */
#include <string.h>

#include "quote_rpcgen.h"

getQuote_out* getquote_1_svc(getQuote_in* in, struct svc_req* req)
{
    static getQuote_out out;
    static stkQuote quote;
    (void)req;
    memset(&out, 0, sizeof(out));
    out.result = -1;
    if (in->quote == NULL)
        return &out;
    quote = *in->quote;
    out.quote = &quote;
    if (strncmp(quote.Ticker, "QRVX", sizeof(quote.Ticker)) == 0) {
        quote.Low = 40.0;
        quote.High = 50.0;
        quote.Close = 45.0;
        out.result = 0;
    }
    return &out;
}
