#ifndef VELORIN_OUTPUT_SECTION_FILES_H
#define VELORIN_OUTPUT_SECTION_FILES_H

#include "output/out_file.h"

#include <ostream>

// Section files collect generated text that belongs to a place in an output
// file which is written later; spliceSection copies a section into its
// destination. They are private temporary files (mode 0600) created when the
// program starts, before the command line is read, and removed at every end
// of the process through exit() or a return from main.
//
// Write to a section with  section.stream() << text;  (stream() ends the
// process when the section's file is not usable). A forked child that must
// not remove its parent's section files ends with _exit, not exit.

// The generation sections: each holds the text of the version being
// generated only; openOutputFiles empties them at the start of every version.
extern outFile argRecordSection;  // <proc>_in_t / <proc>_out_t declarations  -> VELORIN_XDR block
extern outFile xdrProtoSection;   // XDR prototypes of the argument records     -> VELORIN_XDR block
extern outFile
    clientProtoSection;  // <proc>_wrap prototypes, handle macros      -> VELORIN_CLIENT block
extern outFile
    serverProtoSection;  // helper, wrapper and dispatcher prototypes  -> VELORIN_SERVER block
extern outFile
    serverCodeSection;  // helper and wrapper definitions             -> end of <base>_svc.c

// The text sections: the "%" lines of the interface file, written once during
// the parse and spliced into every version's header.
extern outFile leadingTextSection;   // "%" lines up to the end of the program block
extern outFile trailingTextSection;  // "%" lines after the program block

// The stream of serverCodeSection, taken once at start-up; the server-code
// writers use it directly.
extern std::ostream& serverCodeStream;

// Copies every byte collected in the section into target. Closes the
// section's stream first; the file stays on disk. A section file that cannot
// be read is a counted generation error and target receives nothing.
void spliceSection(std::ostream& target, outFile& section);

// Writes the header's VELORIN_XDR, VELORIN_CLIENT and VELORIN_SERVER blocks
// with the four sections they hold.
void emitSectionBlocks();

// Writes the header's common block (guard VELORIN_COMMON_H) of macros that
// all generated code relies on.
void emitCommonMacros();

// Writes "#define name value\n" into headerOut and flushes it.
void writeDefine(const std::string& name, const std::string& value);

// Empties the five generation sections and opens them for writing again.
void resetGenerationSections();

#endif
