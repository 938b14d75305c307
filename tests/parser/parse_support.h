// Runs the parser over an interface text, either in a child process (so
// that the process-wide type table and scope lists start empty for every
// text) or in the test process itself (so that the model can be inspected).
#ifndef VELORIN_TESTS_PARSER_PARSE_SUPPORT_H
#define VELORIN_TESTS_PARSER_PARSE_SUPPORT_H

#include <string>

// Every text is parsed as if the preprocessor had named it "case.x", line 1.
extern const char* const caseMarker;

struct ParseRun {
    int result = -1;          // what yyparse returned
    int syntaxErrors = 0;
    int semanticErrors = 0;
    bool programSet = false;  // currentProgram was set
    std::string errors;       // the error stream
    std::string output;       // standard output
    bool crashed = false;     // the child did not end normally

    // The first line of the error stream, without its newline.
    std::string firstErrorLine() const;
};

// Parses `source` (after the line marker) in a child process.
ParseRun parseIsolated(const std::string& source);

// Parses `source` (after the line marker) in this process; the model it
// builds stays in place for the caller to inspect.
ParseRun parseHere(const std::string& source);

// `declarations` followed by a minimal complete interface block.
std::string withBlock(const std::string& declarations);

#endif
