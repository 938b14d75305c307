#include "driver/shell_quote.h"

#include <cstring>

std::string shellQuoted(const std::string& word)
{
    static const char* const literal =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-+./,:=@%^";
    bool plain = true;
    for (char c : word)
        if (c == '\0' || !std::strchr(literal, c))
            plain = false;
    if (plain)
        return word;

    std::string quoted = "'";
    for (char c : word) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}
