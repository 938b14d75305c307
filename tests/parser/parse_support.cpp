#include "parse_support.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "diagnostics/error_report.h"
#include "driver/compile_run.h"
#include "frontend/parser.h"
#include "frontend/scanner.h"
#include "model/rpc_program.h"

const char* const caseMarker = "# 1 \"case.x\"\n";

namespace {

FILE* inputFile(const std::string& source)
{
    FILE* input = std::tmpfile();
    const std::string text = std::string(caseMarker) + source;
    std::fwrite(text.data(), 1, text.size(), input);
    std::rewind(input);
    return input;
}

}  // namespace

std::string ParseRun::firstErrorLine() const { return errors.substr(0, errors.find('\n')); }

std::string withBlock(const std::string& declarations)
{
    return declarations + "\ninterface I { int f(); } 1;\n";
}

ParseRun parse(const std::string& source)
{
    FILE* input = inputFile(source);
    startRun();
    yyin = input;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    ParseRun run;
    run.result = yyparse();
    std::fflush(nullptr);
    run.output = testing::internal::GetCapturedStdout();
    run.errors = testing::internal::GetCapturedStderr();
    run.syntaxErrors = errorCount.syntax;
    run.semanticErrors = errorCount.semantic;
    run.programSet = currentProgram != nullptr;
    std::fclose(input);
    return run;
}
