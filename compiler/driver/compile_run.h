#ifndef VELORIN_DRIVER_COMPILE_RUN_H
#define VELORIN_DRIVER_COMPILE_RUN_H

// The state one compiler run builds up as it goes: the error counts, the
// scanner's place and the parse actions' scopes, the declared types and the
// program, the output files and sections, the versions generated and
// whether one failed. Each part is kept by the layer that uses it;
// startRun returns all of them to the start of a run, so that one process
// can compile one interface text after another. The configuration and the
// command line are not run state: they are settled once by
// initConfiguration.
void startRun();

#endif
