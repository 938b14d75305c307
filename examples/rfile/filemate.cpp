// filemate: an interactive client of the remote-file server.
//
//   filemate hostname
//
// Reads commands at a prompt: get and put copy a file from and to the
// server's working directory under the same name, ls lists a remote
// directory, cd changes the server's working directory, quit ends the
// session. The session also ends at the end of standard input, so filemate
// can be driven by a pipe.
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "rfileClient.hpp"

namespace {

enum { LINE_SIZE = 1024, WORD_SIZE = 256, ARG_SIZE = 1024, BLOCK_SIZE = 1024 };

enum { CMD_GET = 1, CMD_PUT = 2, CMD_QUIT = 3, CMD_LS = 4, CMD_CD = 5 };

struct command {
    int cmd_type;
    const char* cmd_str;
    const char* comment;
};

const command commands[] = {
    {CMD_GET, "get", "get a remote file"},
    {CMD_PUT, "put", "send local file to remote system"},
    {CMD_LS, "ls", "list the contents of a directory"},
    {CMD_CD, "cd", "change remote working directory"},
    {CMD_QUIT, "quit", "exit"},
    {0, nullptr, nullptr},
};

Crfile_5* pc;

// The stubs return 0 also when the call itself failed; the status of the
// last call on the handle tells the two apart.
bool last_call_failed() { return vl_clnt_errno(pc->getHandle()) != RPC_SUCCESS; }

void release_handle(rFILE* handle)
{
    vl_free_reference((xdrproc_t)xdr_rFILE, handle, sizeof(rFILE));
}

// Copies the next blank-separated word of *text into buf, cut to the
// buffer's size; the rest of an overlong word is skipped, not taken for the
// next word. buf is empty when no word is left.
void next_word(const char** text, char* buf, size_t size)
{
    const char* p = *text;
    size_t n = 0;
    while (*p && isspace((unsigned char)*p))
        p++;
    for (; *p && !isspace((unsigned char)*p); p++)
        if (n + 1 < size)
            buf[n++] = *p;
    buf[n] = '\0';
    *text = p;
}

}  // namespace

int get_cmd_type(const char* word)
{
    for (const command* c = commands; c->cmd_str; c++)
        if (strcmp(word, c->cmd_str) == 0)
            return c->cmd_type;
    return 0;
}

void print_help()
{
    printf("Available commands\n");
    for (const command* c = commands; c->cmd_str; c++)
        printf("%s ==> %s\n", c->cmd_str, c->comment);
}

void print_entry(FILE* out, DENTRY* entry)
{
    for (; entry; entry = entry->next) {
        // The name arrives as raw bytes and need not hold a NUL.
        int len = (int)strnlen(entry->name, sizeof(entry->name));
        if (len > 0)
            fprintf(out, "%.*s\n", len, entry->name);
    }
}

// Copies the remote file to a local file of the given name. The remote file
// is opened first, so that a missing remote file leaves an existing local
// file alone.
int get_file(char* remote, char* local)
{
    char mode[] = "rb";
    char block[BLOCK_SIZE];
    rFILE* handle = pc->rfopen(remote, mode);
    if (handle == nullptr) {
        fprintf(stderr, "Fail to open remote file!\n");
        return -1;
    }
    FILE* file = fopen(local, "wb");
    if (file == nullptr) {
        perror(local);
        pc->rfclose(handle);
        release_handle(handle);
        return -1;
    }
    int status = 0;
    for (;;) {
        int got = pc->rfread(block, 1, sizeof(block), handle);
        if (last_call_failed() || got < 0 || got > (int)sizeof(block)) {
            fprintf(stderr, "Fail to read remote file!\n");
            status = -1;
            break;
        }
        if (got == 0)
            break;
        if (fwrite(block, 1, (size_t)got, file) != (size_t)got) {
            perror(local);
            status = -1;
            break;
        }
    }
    if (fclose(file) != 0 && status == 0) {
        perror(local);
        status = -1;
    }
    pc->rfclose(handle);
    release_handle(handle);
    return status;
}

// Copies a local file to the server under the given name.
int put_file(char* local, char* remote)
{
    char mode[] = "wb";
    char block[BLOCK_SIZE];
    FILE* file = fopen(local, "rb");
    if (file == nullptr) {
        perror(local);
        return -1;
    }
    rFILE* handle = pc->rfopen(remote, mode);
    if (handle == nullptr) {
        fprintf(stderr, "Fail to open remote file!\n");
        fclose(file);
        return -1;
    }
    int status = 0;
    size_t got;
    while ((got = fread(block, 1, sizeof(block), file)) > 0) {
        int written = pc->rfwrite(block, 1, got, handle);
        if (last_call_failed() || written != (int)got) {
            fprintf(stderr, "Fail to write remote file!\n");
            status = -1;
            break;
        }
    }
    if (status == 0 && ferror(file)) {
        perror(local);
        status = -1;
    }
    fclose(file);
    // The server's close flushes the file: a failure there loses data too.
    if (pc->rfclose(handle) != 0 || last_call_failed()) {
        if (status == 0)
            fprintf(stderr, "Fail to write remote file!\n");
        status = -1;
    }
    release_handle(handle);
    return status;
}

int list_remote_dir(char* path)
{
    DENTRY entry;
    memset(&entry, 0, sizeof(entry));
    int result = pc->rlistdir(path, &entry);
    if (last_call_failed())
        result = -1;
    print_entry(stdout, &entry);
    // Releases the entries that decoding linked to the local one.
    xdr_free((xdrproc_t)xdr_DENTRY, (char*)&entry);
    return result;
}

int do_cmd(const char* line)
{
    char word[WORD_SIZE];
    char arg[ARG_SIZE];
    next_word(&line, word, sizeof(word));
    next_word(&line, arg, sizeof(arg));
    if (word[0] == '\0')
        return 0;

    switch (get_cmd_type(word)) {
    case CMD_GET:
        if (arg[0] == '\0') {
            printf("No file name supplied for GET.\n");
            return 0;
        }
        return get_file(arg, arg);
    case CMD_PUT:
        if (arg[0] == '\0') {
            printf("No file name supplied for PUT.\n");
            return 0;
        }
        return put_file(arg, arg);
    case CMD_LS:
        if (arg[0] == '\0')
            strcpy(arg, ".");
        return list_remote_dir(arg);
    case CMD_CD: {
        int result = pc->rchdir(arg);
        return last_call_failed() ? -1 : result;
    }
    case CMD_QUIT:
        pc->finish();
        exit(0);
    default:
        print_help();
        return 0;
    }
}

// Reads one line into buf; the part of a line beyond the buffer is dropped
// rather than read as a further command. Returns false at the end of input.
static bool read_line(char* buf, int size)
{
    if (fgets(buf, size, stdin) == nullptr)
        return false;
    if (strchr(buf, '\n') == nullptr) {
        int c;
        while ((c = getchar()) != EOF && c != '\n')
            ;
    }
    return true;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "Usage: %s hostname\n", argv[0]);
        return 1;
    }
    // A server that goes away mid-session must fail the next call, not end
    // the client: writing to its closed connection would raise SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    pc = new Crfile_5();
    if (pc->bind(argv[1], "tcp", RFILE, RFILE_5) == 0) {
        fprintf(stderr, "Fail to connect to server!\n");
        pc->pcreateerror(argv[1]);
        return 1;
    }
    fprintf(stderr, "connected to server!\n");

    char line[LINE_SIZE];
    for (;;) {
        printf("%s> ", argv[0]);
        fflush(stdout);
        if (!read_line(line, sizeof(line)))
            break;
        if (do_cmd(line) != 0)
            printf("command failed.\n");
        else
            printf("command successful.\n");
    }
    pc->finish();
    delete pc;
    return 0;
}
