/* Calls one remote-file client stub (the first byte picks which), with
 * request values from the next bytes and the rest of the input as the
 * server's reply, then uses and frees what came back as filemate does. A
 * reply must never reach past the caller's storage. */
#define VELORIN_XDR
#include "rfile.h"

#include "fuzz_wire.h"

#include <stdlib.h>
#include <string.h>

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	rFILE stream = { 3 };
	char name[] = "notes.txt", mode[] = "r";

	if (size == 0)
		return 0;
	rfile_bind_handle(fuzz_client());
	switch (fuzz_take(&data, &size, 1) % 6) {
	case 0: {
		rFILE *opened;
		fuzz_client_reply(data, size);
		opened = rfopen(name, mode);
		if (opened)
			fuzz_see(opened, sizeof *opened);
		free(opened);
		break;
	}
	case 1: {
		/* The caller's buffer holds exactly size * nm bytes. */
		size_T item = fuzz_take(&data, &size, 1) % 17, nm = fuzz_take(&data, &size, 1) % 17;
		char *buffer = calloc(item * nm, 1);
		int got;
		fuzz_client_reply(data, size);
		got = rfread(buffer, item, nm, &stream);
		if (got > 0 && (size_T)got <= item * nm)
			fuzz_see(buffer, (size_t)got);
		free(buffer);
		break;
	}
	case 2: {
		char bytes[64] = "some bytes to write";
		size_T item = fuzz_take(&data, &size, 1) % 9, nm = fuzz_take(&data, &size, 1) % 8;
		fuzz_client_reply(data, size);
		rfwrite(bytes, item, nm, &stream);
		break;
	}
	case 3:
		fuzz_client_reply(data, size);
		rfclose(&stream);
		break;
	case 4: {
		DENTRY head;
		const DENTRY *entry;
		memset(&head, 0, sizeof head);
		fuzz_client_reply(data, size);
		rlistdir(name, &head);
		for (entry = &head; entry; entry = entry->next)
			fuzz_see(entry->name, strlen(entry->name));
		xdr_free((xdrproc_t)xdr_DENTRY, (char *)&head);
		break;
	}
	default:
		fuzz_client_reply(data, size);
		rchdir(name);
		break;
	}
	return 0;
}
