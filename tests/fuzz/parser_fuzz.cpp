// Feeds arbitrary bytes to the scanner and the parser: every input must end
// with an accepted parse or a reported error, never with a crash.

#include "diagnostics/error_report.h"
#include "driver/compile_run.h"
#include "frontend/parser.h"
#include "scanner_input.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    scannerInput input(data, size);
    if (!input.opened())
        return 0;
    startRun();

    int result = yyparse();
    // A rejected input is reported exactly once; an accepted one not at all.
    if ((result == 0) != (errorCount.syntax == 0) || errorCount.syntax > 1)
        __builtin_trap();
    return 0;
}
