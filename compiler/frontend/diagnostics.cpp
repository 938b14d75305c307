#include "frontend/diagnostics.h"

#include <iostream>

#include "diagnostics/error_report.h"
#include "frontend/scanner.h"

namespace {

// "<file>(<line>) ": the file of the last line marker, quotes kept.
void writeLocation(std::ostream& out) { out << currentFileName << "(" << yylineno << ") "; }

}  // namespace

void reportSyntaxError()
{
    ++errorCount.syntax;
    std::cerr << "Syntax error: ";
    writeLocation(std::cerr);
}

std::ostream& reportSemanticError()
{
    ++errorCount.semantic;
    std::cerr << "Semantic error: ";
    writeLocation(std::cerr);
    return std::cerr;
}

void yyerror(const char*)
{
    reportSyntaxError();
    std::cerr << " near token " << yytext << std::endl;
}

void warnTypedefName(const std::string& name)
{
    static const char* const directionWords[] = {"in", "IN", "out", "OUT", "inout", "INOUT"};
    for (const char* word : directionWords) {
        if (name == word) {
            std::cerr << "Warning: ";
            writeLocation(std::cerr);
            std::cerr << "using typedef name " << name
                      << " may lead to parse error in interface declaration." << std::endl;
            return;
        }
    }
}
