// Entry point of the Velorin interface compiler.
#include "driver/compile_flow.h"

int main(int argc, char** argv) { return runCompiler(argc, argv); }
