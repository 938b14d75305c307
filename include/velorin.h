/* Public header of the Velorin runtime library libvlrpc. */
#ifndef VELORIN_H
#define VELORIN_H

#include <rpc/rpc.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif /* VELORIN_H */
