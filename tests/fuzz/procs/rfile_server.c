/* Stand-ins for the remote-file server procedures: they read every
 * argument to its promised end and fill the results within their bounds,
 * without touching any file. */
#include "rfile.h"

#include "fuzz_wire.h"

#include <stdlib.h>
#include <string.h>

static rFILE open_file;

static unsigned length_of(const char *s)
{
	return s ? (unsigned)strlen(s) : 0;
}

rFILE *rfopen(str1024 filename, str1024 mode)
{
	open_file.fd = (int)(length_of(filename) + length_of(mode));
	return &open_file;
}

/* Fills a few bytes of the buffer of size * nm bytes. */
int rfread(void *ptr, size_T size, size_T nm, rFILE *stream)
{
	size_T room = size * nm, n = room < 64 ? room : 64;

	memset(ptr, stream ? stream->fd : 'x', n);
	return (int)n;
}

/* Reads all size * nm bytes the request promised. */
int rfwrite(const void *ptr, size_T size, size_T nm, rFILE *stream)
{
	fuzz_see(ptr, size * nm);
	return (int)(size * nm & 0x7fff) + (stream ? stream->fd : 0);
}

int rfclose(rFILE *stream)
{
	return stream ? stream->fd : -1;
}

/* One entry per character of the path (at most eight), each named by the
 * path up to that character. */
int rlistdir(str1024 path, DENTRY *out)
{
	unsigned i, n = length_of(path) < 8 ? length_of(path) : 8;
	DENTRY *entry = out;

	for (i = 0; i < n; i++) {
		if (i > 0) {
			entry->next = calloc(1, sizeof(DENTRY));
			if (!entry->next)
				return -1;
			entry = entry->next;
		}
		memcpy(entry->name, path, i + 1);
	}
	return (int)n;
}

int rchdir(str1024 path)
{
	return (int)length_of(path);
}
