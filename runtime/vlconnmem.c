/* The bound of the memory that the connections hold together: their
 * records and their waiting replies. A connection that would pass it
 * makes room by taking what idle connections keep, then by closing the
 * connection that holds the most of a record not yet whole. */
#include <stdlib.h>
#include <sys/socket.h>

#include "velorin.h"
#include "vlconn_state.h"

/* Bytes that the records and the reply buffers of all connections hold. */
static size_t held_bytes = 0;

/* The bound of what all connections hold together: never below two
 * records of the largest size a connection accepts, so that a program's
 * higher record bound still lets such a record in. */
static size_t held_limit(const struct connection* c)
{
    size_t twice = 2 * (size_t)c->max_record;

    return twice > (size_t)VL_MAX_HELD_BYTES ? twice : (size_t)VL_MAX_HELD_BYTES;
}

void vlsrv_conn_drop_record(struct connection* c)
{
    held_bytes -= c->record_cap;
    free(c->record);
    c->record = NULL;
    c->record_cap = 0;
}

void vlsrv_conn_drop_pending(struct connection* c)
{
    held_bytes -= c->pending_cap;
    free(c->pending);
    c->pending = NULL;
    c->pending_cap = c->pending_at = c->pending_end = 0;
}

/* Bytes of a record that has not come whole yet: what a peer can hold
 * without ever finishing a call. */
static size_t partial_bytes(const struct connection* c)
{
    return c->served || c->whole ? 0 : c->record_len;
}

/* Whether c may give up its memory: not the connection whose call runs,
 * nor one that is gone already. */
static int may_lose(const struct connection* c) { return !c->dead && !c->served; }

/* The connection holding the most partial bytes, or when none holds any,
 * the most memory in complete records and waiting replies; self counts
 * too but loses a tie. Null when nobody holds anything. */
static struct connection* largest_holder(struct connection* self)
{
    struct connection* best = NULL;
    size_t best_partial = 0, best_held = 0;
    int fd;

    for (fd = 0; fd < vlsrv_conn_top; fd++) {
        struct connection* c = vlsrv_conn_table[fd];
        size_t partial, held;

        if (c == NULL || (c != self && !may_lose(c)))
            continue;
        partial = partial_bytes(c);
        held = c->record_cap + c->pending_cap;
        if (held == 0)
            continue;
        if (best == NULL || partial > best_partial ||
            (partial == best_partial &&
             (held > best_held || (held == best_held && best == self)))) {
            best = c;
            best_partial = partial;
            best_held = held;
        }
    }
    return best;
}

/* The connection is closed for the memory it holds: its memory goes at
 * once; shut down, it is destroyed the next time the loop looks at it. */
static void abandon(struct connection* c)
{
    c->dead = 1;
    vlsrv_conn_drop_record(c);
    c->record_len = 0;
    c->whole = 0;
    vlsrv_conn_drop_pending(c);
    vlsrv_conn_note_state(c);
    vlsrv_conn_reset_on_close(c->xprt.xp_fd);
    shutdown(c->xprt.xp_fd, SHUT_RDWR);
}

/* Makes room for extra more bytes held by self within the bound: first
 * records kept for calls to come are released, then connections are
 * closed, the one with the most partial bytes first. 0 when self is that
 * connection: it must give up instead. */
static int make_room(struct connection* self, size_t extra)
{
    size_t limit = held_limit(self);
    int fd;

    if (held_bytes + extra <= limit)
        return 1;
    for (fd = 0; fd < vlsrv_conn_top && held_bytes + extra > limit; fd++) {
        struct connection* c = vlsrv_conn_table[fd];

        if (c != NULL && c != self && may_lose(c) && c->record_len == 0 && c->record_cap > 0)
            vlsrv_conn_drop_record(c);
    }
    while (held_bytes + extra > limit) {
        struct connection* victim = largest_holder(self);

        if (victim == NULL || victim == self)
            return 0;
        abandon(victim);
    }
    return 1;
}

/* Grows one of c's held buffers to at least need bytes, doubling from
 * first, but to no more than ceiling where need fits within it; the growth
 * is counted in what all connections hold. 0 when there is no room. */
static int grow_held(struct connection* c, char** buffer, size_t* cap, size_t first, size_t need,
                     size_t ceiling)
{
    size_t grown_cap = *cap > 0 ? *cap : first;
    char* grown;

    if (need <= *cap)
        return 1;
    while (grown_cap < need)
        grown_cap *= 2;
    if (grown_cap > ceiling && need <= ceiling)
        grown_cap = ceiling;
    if (!make_room(c, grown_cap - *cap) || (grown = realloc(*buffer, grown_cap)) == NULL)
        return 0;
    held_bytes += grown_cap - *cap;
    *buffer = grown;
    *cap = grown_cap;
    return 1;
}

int vlsrv_conn_reserve_record(struct connection* c, size_t need)
{
    return grow_held(c, &c->record, &c->record_cap, 4096, need, c->max_record);
}

int vlsrv_conn_reserve_pending(struct connection* c, size_t need)
{
    return grow_held(c, &c->pending, &c->pending_cap, VL_CONN_SEND_SIZE, need, (size_t)-1);
}
