// The scanner of the interface language: turns the preprocessed interface
// file (yyin) into token codes (frontend/tokens.h). Tokens carry no value;
// the parser reads the text of the current token from yytext.
#ifndef VELORIN_FRONTEND_SCANNER_H
#define VELORIN_FRONTEND_SCANNER_H

#include <cstdio>
#include <string>

// The next token code; 0 at the end of the input and after a lexical error.
int yylex();

// The input; the scanner starts reading it on the first call of yylex().
extern FILE* yyin;

// The text of the current token, NUL-terminated, and its length. A token of
// 8192 characters or more ends the compiler with status 2.
extern char yytext[];
extern int yyleng;

// The line number of the input source: counted from 1, set by line markers.
extern int yylineno;

// The file name of the last line marker, quotes kept ("" before the first).
extern std::string currentFileName;

// 0 until a program or interface head has been read; from then on property,
// version, in, out and inout are keywords.
extern int rpcKeywordsEnabled;

// 1 until the parser completes the program block; selects the section that
// receives the text of "%" lines.
extern int beforeProgramBlock;

// Actions of the line-marker rules: each gets the whole marker line, from its
// "#" to its newline, and sets yylineno (and currentFileName) from it.
void readLineMarker(const char* text);     // # 12 "file" flags...
void readLineDirective(const char* text);  // #line 12 "file"  or  #line 12
void readLineNumber(const char* text);     // # 12

// Adds the newlines of a matched text to yylineno (which stops at the largest
// int instead of overflowing). Runs before the action of every rule.
void countLines(const char* text, int length);

// Writes the text of a "%" line (everything after the "%", newline and
// continuation lines included) to the section of the current "%" text.
void passThroughText(const std::string& text);

// Returns the scanner to its start: line 1, no file name, RPC keywords off,
// before the program block, no buffered input. The next yylex() reads yyin
// from its current position.
void resetScanner();

#endif
