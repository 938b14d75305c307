// The parser of the interface language (grammar.y), reading the scanner's
// input yyin. It builds the model as it goes: the declared types, and the
// program in currentProgram once its block is complete.
#ifndef VELORIN_FRONTEND_PARSER_H
#define VELORIN_FRONTEND_PARSER_H

// 0 when the interface file was accepted; 1 after a syntax error or when the
// parser stack ran out.
int yyparse();

#endif
