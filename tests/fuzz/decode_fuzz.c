/* Decodes arbitrary bytes into one record of a generated interface (the
 * first byte picks which: every type and every argument and result
 * record), frees it, and re-encodes what decoded. What decodes must encode,
 * and the encoding must decode back to a value that encodes to the same
 * bytes. FUZZ_HEADER names the generated header, FUZZ_RECORDS the table of
 * its XDR routines; FUZZ_HELD_RECORDS, when defined, lists the records that
 * are held out of the run until their decoding is mended (an input that
 * picks one ends at once). */
#define VELORIN_XDR
#include FUZZ_HEADER

#include "fuzz_wire.h"

#include <stdlib.h>
#include <string.h>

struct record {
	xdrproc_t filter;
	size_t size;
	const char *name;
};

static const struct record records[] = {
#define RECORD(name, type) { (xdrproc_t)xdr_##name, sizeof(type), #name },
#include FUZZ_RECORDS
#undef RECORD
};

#define FUZZ_TEXT_(...) #__VA_ARGS__
#define FUZZ_TEXT(...) FUZZ_TEXT_(__VA_ARGS__)

static int held(const struct record *r)
{
#ifdef FUZZ_HELD_RECORDS
	const char *names = FUZZ_TEXT(FUZZ_HELD_RECORDS), *at;
	size_t length = strlen(r->name);

	for (at = strstr(names, r->name); at; at = strstr(at + 1, r->name))
		if ((at == names || at[-1] == ',') && (at[length] == ',' || at[length] == 0))
			return 1;
#endif
	(void)r;
	return 0;
}

/* A decoded value in storage of exactly its record's size. */
static void *decoded(const struct record *r, const void *bytes, size_t length, int *ok)
{
	void *value = calloc(1, r->size);

	FUZZ_CHECK(value != 0);
	*ok = fuzz_decode(r->filter, value, bytes, length);
	return value;
}

static void release(const struct record *r, void *value)
{
	fuzz_free(r->filter, value);
	free(value);
}

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	const struct record *r;
	void *value, *again;
	char *first, *second;
	u_int first_length, second_length;
	int ok;

	if (size == 0)
		return 0;
	r = &records[data[0] % (sizeof records / sizeof records[0])];
	if (held(r))
		return 0;
	value = decoded(r, data + 1, size - 1, &ok);
	if (!ok) {
		/* A refused input leaves only what the free pass releases. */
		release(r, value);
		return 0;
	}
	FUZZ_CHECK(fuzz_encode(r->filter, value, &first, &first_length));
	release(r, value);

	again = decoded(r, first, first_length, &ok);
	FUZZ_CHECK(ok);
	FUZZ_CHECK(fuzz_encode(r->filter, again, &second, &second_length));
	FUZZ_CHECK(second_length == first_length && memcmp(first, second, first_length) == 0);
	release(r, again);
	free(first);
	free(second);
	return 0;
}
