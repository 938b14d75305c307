// Internal assertions of the compiler. A failed assertion is a bug in the
// compiler, not in the input: it names the condition and the place of the
// check and ends the compiler with exit status 2.
#ifndef VELORIN_MODEL_FATAL_H
#define VELORIN_MODEL_FATAL_H

// Writes "Fatal error: <condition> <file><line>\n" to the error stream and
// exits with status 2 (through exit, so the temporary files are removed).
[[noreturn]] void fatalError(const char* condition, const char* file, int line);

// Ends the compiler when `condition` holds; the message shows the condition
// as written, e.g. FATAL_IF(eleType==0).
#define FATAL_IF(condition)                                                                        \
    do {                                                                                           \
        if (condition)                                                                             \
            fatalError(#condition, __FILE__, __LINE__);                                            \
    } while (0)

#endif
