/* What the fuzz targets of generated code share: encoding a value into an
 * exactly sized buffer, a server transport that serves one request body
 * from memory, and a client handle whose calls are answered with a reply
 * body from memory. No socket and no process takes part, so each input
 * runs the generated code and the runtime's call path alone. */
#ifndef FUZZ_WIRE_H
#define FUZZ_WIRE_H

#include <rpc/rpc.h>
#include <stddef.h>
#include <stdint.h>

/* Stops the run: the sanitizers and libFuzzer report it with the input. */
#define FUZZ_CHECK(condition) \
	do { if (!(condition)) __builtin_trap(); } while (0)

/* Encodes value with filter into a buffer of exactly its size (the caller
 * frees *bytes). 0 when the filter refuses the value. */
int fuzz_encode(xdrproc_t filter, void *value, char **bytes, u_int *length);

/* Decodes length bytes with filter into value (zeroed by the caller). */
int fuzz_decode(xdrproc_t filter, void *value, const void *bytes, size_t length);

/* Releases what decoding allocated inside value. */
void fuzz_free(xdrproc_t filter, void *value);

/* A transport whose one request body is bytes: the arguments decode from
 * it, and every reply is encoded in full (a reply that cannot be encoded
 * fails as a real transport's send does). */
SVCXPRT *fuzz_transport(const uint8_t *bytes, size_t length);

/* Number of replies (of any kind) the transport sent since it was made. */
int fuzz_transport_replies(void);

/* The handle every client stub of a target calls through; each call
 * encodes the arguments and decodes its results from the reply body set
 * by fuzz_client_reply. */
CLIENT *fuzz_client(void);
void fuzz_client_reply(const uint8_t *bytes, size_t length);

/* Reads every byte, so that the sanitizers check the whole range; their
 * sum goes to fuzz_seen, which results may return. */
void fuzz_see(const void *bytes, size_t length);
extern unsigned fuzz_seen;

/* Reads the next value of a request from the front of the input; zero
 * once the input is used up. */
uint32_t fuzz_take(const uint8_t **data, size_t *size, unsigned bytes);

#endif
