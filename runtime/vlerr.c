/* Error reporting of the runtime. */
#include "velorin.h"
