// The server procedure in C++: the generated header declares it with C
// linkage, and the standard library comes in through the C++ link.
// HABITS_BASE comes from CPPFLAGS in the environment.
#include <string>

#include "habits.h"

int scale(int a)
{
    const std::string digits = std::to_string(a);
    return a * HABITS_BASE + static_cast<int>(digits.size());
}
