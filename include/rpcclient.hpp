// Header-only base class of the generated C++ client classes.
#ifndef RPCCLIENT_HPP
#define RPCCLIENT_HPP

#include <rpc/rpc.h>
#include "velorin.h"

#endif // RPCCLIENT_HPP
