// Internal assertions end the compiler with status 2 and name the check.
#include <gtest/gtest.h>

#include "model/fatal.h"

namespace {

void failingCheck()
{
    int eleType = 0;
    FATAL_IF(eleType == 0);
}

TEST(FatalAssertionDeathTest, NamesConditionFileAndLine)
{
    EXPECT_EXIT(failingCheck(), testing::ExitedWithCode(2),
                "^Fatal error: eleType == 0 fatal_test\\.cpp1[0-9]\n$");
}

TEST(FatalAssertion, HoldingConditionDoesNothing)
{
    int ready = 1;
    FATAL_IF(ready == 0);
    SUCCEED();
}

}  // namespace
