/* The server procedure in C. HABITS_FACTOR and habit_offset come from the
 * make command line's CPPFLAGS and LDLIBS. */
#include "habits.h"
#include "habit.h"

int scale(int a) { return a * HABITS_FACTOR + habit_offset(); }
