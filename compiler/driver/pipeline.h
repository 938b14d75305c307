#ifndef VELORIN_DRIVER_PIPELINE_H
#define VELORIN_DRIVER_PIPELINE_H

// The steps of the compile flow that other parts of the compiler provide.

#include <cstdio>

class rpcProgram;
class rpcVersion;

// The parser (frontend/).
extern FILE* yyin;
int yyparse();
extern int syntaxErrorCount;
extern int semanticErrorCount;

// The parsed program, null when the input defined none (model/).
extern rpcProgram* currentProgram;

// Writes every output file of one version (generate/).
void generateVersion(rpcVersion* version);

// Writes the makefile unless it exists (generate/).
int generateMakefile();

#endif
