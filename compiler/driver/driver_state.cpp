#include "driver/driver_state.h"

std::string inputFileName;
std::string preprocessedFileName;
std::string includeOptions;
std::string defineOptions = " -DVELORIN_COMPILE";
std::string cppCommand;
