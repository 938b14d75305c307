#include "parse_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <sys/wait.h>
#include <unistd.h>

#include "diagnostics/error_report.h"
#include "frontend/diagnostics.h"
#include "frontend/scanner.h"
#include "model/rpc_program.h"

int yyparse();

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

std::string readAll(FILE* file)
{
    std::rewind(file);
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    return text;
}

// Starts a parse from the scanner's and the parser's initial state.
int runParser(FILE* input)
{
    yyin = input;
    resetScanner();
    errorCount.syntax = 0;
    errorCount.semantic = 0;
    currentProgram = nullptr;
    return yyparse();
}

}  // namespace

std::string ParseRun::firstErrorLine() const { return errors.substr(0, errors.find('\n')); }

std::string withBlock(const std::string& declarations)
{
    return declarations + "\ninterface I { int f(); } 1;\n";
}

ParseRun parseIsolated(const std::string& source)
{
    FILE* input = inputFile(source);
    FILE* errors = std::tmpfile();
    FILE* output = std::tmpfile();
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        dup2(fileno(errors), 2);
        dup2(fileno(output), 1);
        int result = runParser(input);
        std::cout.flush();
        std::cerr.flush();
        std::fflush(nullptr);
        // The counts travel in the exit status: result, syntax, semantic.
        _exit((result & 1) | (std::min(errorCount.syntax, 3) << 1) |
              (std::min(errorCount.semantic, 15) << 3) | ((currentProgram ? 1 : 0) << 7));
    }
    int status = 0;
    waitpid(child, &status, 0);
    ParseRun run;
    run.errors = readAll(errors);
    run.output = readAll(output);
    std::fclose(input);
    std::fclose(errors);
    std::fclose(output);
    if (!WIFEXITED(status)) {
        run.crashed = true;
        return run;
    }
    int code = WEXITSTATUS(status);
    run.result = code & 1;
    run.syntaxErrors = (code >> 1) & 3;
    run.semanticErrors = (code >> 3) & 15;
    run.programSet = (code >> 7) & 1;
    return run;
}

ParseRun parseHere(const std::string& source)
{
    FILE* input = inputFile(source);
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    ParseRun run;
    run.result = runParser(input);
    run.output = testing::internal::GetCapturedStdout();
    run.errors = testing::internal::GetCapturedStderr();
    run.syntaxErrors = errorCount.syntax;
    run.semanticErrors = errorCount.semantic;
    run.programSet = currentProgram != nullptr;
    std::fclose(input);
    return run;
}
