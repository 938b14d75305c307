#ifndef VELORIN_OUTPUT_VERSION_INFO_H
#define VELORIN_OUTPUT_VERSION_INFO_H

// "Velorin V1.6 RkWp! system: Linux": printed by -v and written into the
// generated files. Points into one process-wide buffer that every call
// rebuilds; copy it before the next call.
const char* versionString();

// The two notice lines that -v prints after the version text.
const char* versionNotice();

// The block comment at the top of every generated file.
const char* generatedFileNotice();

#endif
