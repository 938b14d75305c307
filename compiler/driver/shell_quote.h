#ifndef VELORIN_DRIVER_SHELL_QUOTE_H
#define VELORIN_DRIVER_SHELL_QUOTE_H

#include <string>

// The word as the shell should receive it: unchanged when it holds only
// characters the shell takes literally, else in single quotes.
std::string shellQuoted(const std::string& word);

#endif
