// Feeds arbitrary bytes to the scanner and the parser: every input must end
// with an accepted parse or a reported error, never with a crash.

#include "frontend/diagnostics.h"
#include "frontend/scanner.h"
#include "output/section_files.h"

#include <cstdint>
#include <cstdio>
#include <vector>

int yyparse();

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A token of 8192 characters or more ends the compiler by design; inputs
    // below that size cannot hold one.
    if (size == 0 || size >= 8192)
        return 0;
    std::vector<uint8_t> bytes(data, data + size);
    FILE* input = fmemopen(bytes.data(), bytes.size(), "r");
    if (!input)
        return 0;

    yyin = input;
    resetScanner();
    leadingTextSection.reopen();
    trailingTextSection.reopen();
    syntaxErrorCount = 0;
    semanticErrorCount = 0;

    int result = yyparse();
    // A rejected input is reported exactly once; an accepted one not at all.
    if ((result == 0) != (syntaxErrorCount == 0) || syntaxErrorCount > 1)
        __builtin_trap();
    std::fclose(input);
    return 0;
}
