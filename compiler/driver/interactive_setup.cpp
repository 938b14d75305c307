// The interactive setup: asks a person at the terminal for the installation
// directory and the preprocessor command, tests both and appends them to the
// per-user configuration file.

#include "driver/configuration.h"
#include "driver/path_utils.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

// Answers are kept short enough that their configuration line can be read
// back (the reader skips longer lines).
const size_t longestDirectoryAnswer = maxConfigLineLength - std::string("VELORIN_HOME=").size();
const size_t longestCommandAnswer = maxConfigLineLength - std::string("CPP=").size();

// One answer line without its newline. End of input, also in the middle of a
// line, ends the run: a half-read answer is never used.
std::string readAnswer()
{
    std::string line;
    int c;
    while ((c = std::getchar()) != EOF && c != '\n')
        line += static_cast<char>(c);
    if (c == EOF)
        std::exit(1);
    return line;
}

std::string firstWord(const std::string& line)
{
    std::istringstream words(line);
    std::string word;
    words >> word;
    return word;
}

// The values the setup does not ask for. Once the per-user file exists it
// alone serves every key, so it takes those the installation's file gave.
const char* const keptKeys[] = {"ONC_RPC_HEADER", "PMAP_CLNT_HEADER", "ANSI_CC", "SYS_LDFLAGS"};

std::string keptLines(const std::string& userConfig)
{
    std::string lines;
    if (configFilePath == userConfig)
        return lines;
    for (const char* key : keptKeys) {
        const std::string value = lookupConfigFile(configFilePath, key);
        if (!value.empty())
            lines += configLine(key, value) + "\n";
    }
    return lines;
}

bool preprocessorWorks(const std::string& command)
{
    std::string test = "(" + command + "| grep OK ) <<EOFCMD\n#define XX OK\nXX\nEOFCMD\n";
    std::cout.flush();
    return std::system(test.c_str()) == 0;
}

} // namespace

int interactiveSetup()
{
    std::string directory, command;
    for (;;) {
        if (std::feof(stdin))
            std::exit(1);

        std::cerr << "\nPlease enter the full path of the Velorin installation directory:\n==> ";
        std::string answer = readAnswer();
        directory = firstWord(answer);

        const std::string candidate = directory + "/bin/Velorin";
        std::cerr << "checking if executable " << candidate << " exists...\n";
        if (directory.empty() || directory.size() > longestDirectoryAnswer ||
            is_executable(candidate).empty()) {
            std::cerr << "Fail checking " << candidate << "\n";
            continue;
        }
        std::cerr << "OK, " << candidate << " was found.\n";

        std::cerr << "\nPlease tell us the CPP command to be used. This is usually /lib/cpp.\n"
                  << "'cc -E ' may not work, since it may require the input to have *.h or *.c suffix.\n"
                  << "==> ";
        command = readAnswer();

        std::cerr << "Check if CPP works ...\n";
        if (command.size() > longestCommandAnswer || !preprocessorWorks(command)) {
            std::cerr << "Checking of CPP failed, repeating setup.\n";
            continue;
        }
        break;
    }

    // The answers go to the per-user file, never to the installation's file
    // (which, without an installation, would lie in the filesystem root).
    const std::string userConfig = homeDir + ".velorin";
    std::ofstream file(userConfig, std::ios::out | std::ios::app);
    if (!file) {
        std::perror(userConfig.c_str());
        std::cerr << "Fail open file " << userConfig << " for output.\n";
        return -1;
    }
    file << configLine("VELORIN_HOME", directory) << "\n" << configLine("CPP", command) << "\n"
         << keptLines(userConfig);
    file.close();
    if (!file) {
        std::perror(userConfig.c_str());
        std::cerr << "Fail open file " << userConfig << " for output.\n";
        return -1;
    }

    cppCommand = command;
    installDir = directory;
    return 1;
}
