/*
 * Server procedures of the remote-file interface.
 *
 * The server serves the directory it was started in and everything below
 * it, and nothing else: "/" names that directory, ".." stops there, and a
 * path that leads outside it through a symbolic link is refused. Open
 * files are kept in a small table of the server; the handle a client gets
 * is an index into that table, never a raw descriptor of the server.
 *
 * The server forks per TCP connection (see rfile.idl), so the table and
 * the working directory belong to one client's process: when the client
 * closes the connection, or is killed, that process ends and its files are
 * closed with it. Requests over UDP have no connection and are served by
 * the server process itself.
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "rfile.h"

#define MAX_OPEN_FILES 64

/* A write past the server's file size limit fails with EFBIG, as a write
 * to a full disk fails, and the client learns of it from its result: the
 * signal that the system sends for it would otherwise end the process,
 * which over UDP is the whole server. */
__attribute__((constructor)) static void fail_writes_past_file_limit(void)
{
    signal(SIGXFSZ, SIG_IGN);
}

static FILE* open_files[MAX_OPEN_FILES];
static char root_dir[PATH_MAX];

/* The served directory: the working directory at the first call. Every
 * procedure asks for it before it changes anything, so a cd cannot move it. */
static const char* root(void)
{
    if (root_dir[0] == '\0' && realpath(".", root_dir) == NULL)
        strcpy(root_dir, "/nonexistent");
    return root_dir;
}

static int inside_root(const char* real)
{
    const char* r = root();
    size_t n = strlen(r);
    if (strcmp(r, "/") == 0)
        return 1;
    return strncmp(real, r, n) == 0 && (real[n] == '\0' || real[n] == '/');
}

/* The path a client names, as a path of this process: absolute paths are
 * taken relative to the served directory. */
static int client_path(const char* path, char* out, size_t size)
{
    const char* served = root();
    int n;
    if (path == NULL)
        return -1;
    if (path[0] == '/')
        n = snprintf(out, size, "%s%s", served, path);
    else
        n = snprintf(out, size, "%s", path[0] ? path : ".");
    return (n < 0 || (size_t)n >= size) ? -1 : 0;
}

/* Resolves an existing path and checks that it lies in the served tree. */
static int resolve_existing(const char* path, char* real)
{
    char local[PATH_MAX];
    if (client_path(path, local, sizeof(local)) != 0 || realpath(local, real) == NULL)
        return -1;
    return inside_root(real) ? 0 : -1;
}

static int open_flags(const char* mode, int* flags)
{
    int plus = strchr(mode, '+') != NULL;
    if (strspn(mode, "rwab+") != strlen(mode))
        return -1;
    switch (mode[0]) {
    case 'r':
        *flags = plus ? O_RDWR : O_RDONLY;
        return 0;
    case 'w':
        *flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
        return 0;
    case 'a':
        *flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
        return 0;
    default:
        return -1;
    }
}

/* Opens a regular file of the served tree: its directory must resolve
 * inside the tree and the file itself must not be a symbolic link. */
static FILE* open_confined(const char* path, const char* mode)
{
    char local[PATH_MAX], dir[PATH_MAX], real_dir[PATH_MAX], full[PATH_MAX];
    const char* base;
    char* slash;
    struct stat st;
    int flags, fd;
    FILE* file;

    if (mode == NULL || open_flags(mode, &flags) != 0)
        return NULL;
    if (client_path(path, local, sizeof(local)) != 0)
        return NULL;
    strcpy(dir, local);
    slash = strrchr(dir, '/');
    if (slash == NULL) {
        strcpy(dir, ".");
        base = local;
    } else {
        *slash = '\0';
        base = local + (slash - dir) + 1;
        if (dir[0] == '\0')
            strcpy(dir, "/");
    }
    if (base[0] == '\0' || strcmp(base, ".") == 0 || strcmp(base, "..") == 0)
        return NULL;
    if (realpath(dir, real_dir) == NULL || !inside_root(real_dir))
        return NULL;
    if (snprintf(full, sizeof(full), "%s/%s", real_dir, base) >= (int)sizeof(full))
        return NULL;

    /* O_NONBLOCK keeps a FIFO from stalling the server; only regular files
	 * are served. */
    fd = open(full, flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0)
        return NULL;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        close(fd);
        return NULL;
    }
    file = fdopen(fd, mode);
    if (file == NULL)
        close(fd);
    return file;
}

static FILE* file_of(rFILE* stream)
{
    if (stream == NULL || stream->fd < 0 || stream->fd >= MAX_OPEN_FILES)
        return NULL;
    return open_files[stream->fd];
}

rFILE* rfopen(str1024 filename, str1024 mode)
{
    /* The result is encoded after the call and not released by the server
	 * code, so it lives in static storage. */
    static rFILE handle;
    int slot;

    for (slot = 0; slot < MAX_OPEN_FILES && open_files[slot]; slot++)
        ;
    if (slot == MAX_OPEN_FILES)
        return NULL;
    open_files[slot] = open_confined(filename, mode);
    if (open_files[slot] == NULL)
        return NULL;
    handle.fd = slot;
    return &handle;
}

int rfread(void* ptr, size_T size, size_T nm, rFILE* stream)
{
    FILE* file = file_of(stream);
    size_t items;

    if (file == NULL || ptr == NULL)
        return -1;
    if (size == 0 || nm == 0)
        return 0;
    /* The reply carries the byte count as an int. */
    if (nm > (size_T)INT_MAX / size)
        return -1;
    items = fread(ptr, size, nm, file);
    if (items == 0 && ferror(file)) {
        clearerr(file);
        return -1;
    }
    return (int)(items * size);
}

int rfwrite(const void* ptr, size_T size, size_T nm, rFILE* stream)
{
    FILE* file = file_of(stream);
    if (file == NULL || (ptr == NULL && size * nm != 0))
        return -1;
    if (size == 0 || nm == 0)
        return 0;
    if (nm > (size_T)INT_MAX / size)
        return -1;
    return (int)fwrite(ptr, size, nm, file);
}

int rfclose(rFILE* stream)
{
    FILE* file = file_of(stream);
    if (file == NULL)
        return -1;
    open_files[stream->fd] = NULL;
    return fclose(file) == 0 ? 0 : -1;
}

static int by_name(const void* a, const void* b)
{
    return strcmp(*(char* const*)a, *(char* const*)b);
}

/* Lists a directory of the served tree, names sorted, "." and ".." left
 * out. The first name goes into *out, the others into entries allocated
 * and linked behind it; the reply's release code frees them all after
 * sending. An empty directory gives one entry with an empty name. */
int rlistdir(str1024 path, DENTRY* out)
{
    char real[PATH_MAX];
    char** names = NULL;
    size_t count = 0, capacity = 0, i;
    struct dirent* ent;
    DENTRY* tail;
    DIR* dir;

    if (out == NULL || resolve_existing(path, real) != 0)
        return -1;
    dir = opendir(real);
    if (dir == NULL)
        return -1;
    while ((ent = readdir(dir)) != NULL) {
        if (strcmp(ent->d_name, ".") == 0 || strcmp(ent->d_name, "..") == 0)
            continue;
        if (count == capacity) {
            size_t grown = capacity ? 2 * capacity : 32;
            char** more = realloc(names, grown * sizeof(*names));
            if (more == NULL)
                break;
            names = more;
            capacity = grown;
        }
        names[count] = strdup(ent->d_name);
        if (names[count] == NULL)
            break;
        count++;
    }
    closedir(dir);
    if (count > 0)
        qsort(names, count, sizeof(*names), by_name);

    out->next = NULL;
    tail = out;
    for (i = 0; i < count; i++) {
        if (i > 0) {
            DENTRY* next = calloc(1, sizeof(DENTRY));
            if (next == NULL)
                break;
            tail->next = next;
            tail = next;
        }
        snprintf(tail->name, sizeof(tail->name), "%s", names[i]);
    }
    for (i = 0; i < count; i++)
        free(names[i]);
    free(names);
    return 0;
}

int rchdir(str1024 path)
{
    char real[PATH_MAX];
    /* An empty path leads back to the served directory. */
    if (path == NULL || path[0] == '\0')
        return chdir(root()) == 0 ? 0 : -1;
    if (resolve_existing(path, real) != 0)
        return -1;
    return chdir(real) == 0 ? 0 : -1;
}
