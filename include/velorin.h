/* Public header of the Velorin runtime library libvlrpc. */
#ifndef VELORIN_H
#define VELORIN_H

#include <rpc/rpc.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Server side: call execution, main loop, process models ---- */

/* ---- Client side: client creation, codecs, serialisation, reporting ---- */

#ifdef __cplusplus
}
#endif

#endif /* VELORIN_H */
