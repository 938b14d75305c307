#include "driver/options.h"

#include "driver/driver_state.h"
#include "driver/shell_quote.h"
#include "output/version_info.h"

#include <cstdlib>
#include <iostream>
#include <unistd.h>

void printUsage(const char* programName)
{
    std::cerr << "Usage: " << programName << " [-h] -[-v] [-I path] [-D macro] filename.\n";
}

namespace {

// Every -I and -D option read, as it went into includeOptions or defineOptions.
std::string givenOptions;

}  // namespace

std::string commandLineOptions()
{
    return givenOptions.empty() ? givenOptions : givenOptions.substr(1);
}

void parseOptions(int argc, char** argv)
{
    optind = 1;
    givenOptions.clear();
    int option;
    while ((option = getopt(argc, argv, "I:D:hvt")) != -1) {
        switch (option) {
        case 'I': {
            const std::string text = " -I" + shellQuoted(optarg);
            includeOptions += text;
            givenOptions += text;
            break;
        }
        case 'D': {
            const std::string text = " -D" + shellQuoted(optarg);
            defineOptions += text;
            givenOptions += text;
            break;
        }
        case 'h':
            printUsage(argv[0]);
            break;
        case 'v':
            std::cerr << versionString() << "\n" << versionNotice();
            std::exit(0);
        default:  // -t, an unknown option, or an option without its argument
            printUsage(argv[0]);
            std::exit(1);
        }
    }
    if (optind >= argc) {
        std::cerr << "Missing input file name.\n";
        std::exit(1);
    }
    // One run compiles one interface: a second file would be ignored
    // without a word, and its program never generated.
    if (optind + 1 < argc) {
        std::cerr << "Only one input file can be compiled at a time:";
        for (int operand = optind; operand < argc; ++operand)
            std::cerr << " " << argv[operand];
        std::cerr << ".\n";
        std::exit(1);
    }
    inputFileName = argv[optind];
}
