// Feeds arbitrary bytes to the scanner; every input must be scanned to its
// end without a crash, whatever lexical errors it holds.

#include "frontend/scanner.h"
#include "scanner_input.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    scannerInput input(data, size);
    if (!input.opened())
        return 0;

    // Each call consumes at least one character or is at the end of the
    // input; scanning goes on after lexical errors to reach all of it.
    for (size_t call = 0; call <= size + 1; ++call) {
        if (call == size / 2)
            beforeProgramBlock = 0;
        if (yylex() != 0 && (yyleng <= 0 || yyleng >= 8192))
            __builtin_trap();
    }
    return 0;
}
