#include "driver/preprocessor.h"

#include "driver/driver_state.h"
#include "driver/shell_quote.h"
#include "output/temporary_file.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sys/stat.h>

std::string preprocessorCommand()
{
    return cppCommand + " " + includeOptions + defineOptions + " " + shellQuoted(inputFileName);
}

void removePreprocessedFile()
{
    if (!preprocessedFileName.empty()) {
        std::remove(preprocessedFileName.c_str());
        preprocessedFileName.clear();
    }
}

namespace {
void removePreprocessedFileAtExit() { removePreprocessedFile(); }
}  // namespace

int runPreprocessor()
{
    std::string command = preprocessorCommand();

    struct stat st;
    if (stat(inputFileName.c_str(), &st) != 0) {
        std::cerr << "Input file " << inputFileName << " does not exist.\n";
        return -1;
    }

    std::cout << "Preprocessing ... \n"
              << "\t" << command << "\n";
    std::cout.flush();

    static bool cleanupRegistered = false;
    if (!cleanupRegistered) {
        std::atexit(removePreprocessedFileAtExit);
        cleanupRegistered = true;
    }
    preprocessedFileName = createTemporaryFile();
    if (preprocessedFileName.empty())
        return -1;
    command += " > " + shellQuoted(preprocessedFileName);

    int status = std::system(command.c_str());
    if (status != 0) {
        std::cerr << "Preprocessing failed with error " << status << ".\n";
        removePreprocessedFile();
        return status;
    }
    return 0;
}
