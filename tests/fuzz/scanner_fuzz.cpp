// Feeds arbitrary bytes to the scanner; every input must be scanned to its
// end without a crash, whatever lexical errors it holds.

#include "frontend/scanner.h"
#include "output/section_files.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A match of 8192 characters or more ends the compiler by design; inputs
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

    // Each call consumes at least one character or is at the end of the
    // input; scanning goes on after lexical errors to reach all of it.
    for (size_t call = 0; call <= size + 1; ++call) {
        if (call == size / 2)
            beforeProgramBlock = 0;
        if (yylex() != 0 && (yyleng <= 0 || yyleng >= 8192))
            __builtin_trap();
    }
    std::fclose(input);
    return 0;
}
