// Diagnostics of the parse: the syntax-error report, the location prefix of
// every semantic error and the typedef-name warning. Both kinds of error are
// counted in errorCount, which the compile flow reads after the parse.
#ifndef VELORIN_FRONTEND_DIAGNOSTICS_H
#define VELORIN_FRONTEND_DIAGNOSTICS_H

#include <ostream>
#include <string>

#include "diagnostics/error_report.h"

// Counts one syntax error and writes "Syntax error: <file>(<line>) ".
void reportSyntaxError();

// Counts one semantic error, writes "Semantic error: <file>(<line>) " and
// returns the error stream for the rest of the message.
std::ostream& reportSemanticError();

// The parser's error report: the syntax-error prefix, then " near token "
// and the current token text. The message itself is not shown, so a syntax
// error and an exhausted parser stack read the same.
void yyerror(const char* message);

// Warns about a typedef named like a direction keyword, which the program
// block would read as that keyword. Not counted.
void warnTypedefName(const std::string& name);

#endif
