// Generation of every version of the parsed program, each followed by the
// report of its files.

#include "driver/compile_flow.h"
#include "generate/generate_version.h"
#include "model/rpc_program.h"

#include <iostream>

void compileVersions(rpcProgram* program)
{
    if (!program || !program->versions())
        return;
    versionList::cursor versions = versionList::begin(program->versions());
    while (rpcVersion* version = versions.next()) {
        // The number as declared: a VERSION property replaces it only
        // during generation.
        std::cout << "Compiling version " << version->number() << "\n";
        reportGeneration(generateVersion(version));
    }
}
