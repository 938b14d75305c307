// Runs the parser over an interface text in the test process, from the
// state a compiler run starts with, so that every text meets an empty type
// table and empty scope lists, and the model it builds can be inspected.
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

    // The first line of the error stream, without its newline.
    std::string firstErrorLine() const;
};

// Starts a run and parses `source` (after the line marker); the model it
// builds stays in place until the next parse.
ParseRun parse(const std::string& source);

// `declarations` followed by a minimal complete interface block.
std::string withBlock(const std::string& declarations);

#endif
