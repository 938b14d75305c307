#include "driver/options.h"

#include "driver/driver_state.h"
#include "driver/shell_quote.h"
#include "driver/version_info.h"

#include <cstdlib>
#include <iostream>
#include <unistd.h>

void printUsage(const char* programName)
{
    std::cerr << "Usage: " << programName << " [-h] -[-v] [-I path] [-D macro] filename.\n";
}

void parseOptions(int argc, char** argv)
{
    optind = 1;
    int option;
    while ((option = getopt(argc, argv, "I:D:hvt")) != -1) {
        switch (option) {
        case 'I':
            includeOptions += " -I" + shellQuoted(optarg);
            break;
        case 'D':
            defineOptions += " -D" + shellQuoted(optarg);
            break;
        case 'h':
            printUsage(argv[0]);
            break;
        case 'v':
            std::cerr << versionString() << "\n" << versionNotice();
            std::exit(0);
        default:   // -t, an unknown option, or an option without its argument
            printUsage(argv[0]);
            std::exit(1);
        }
    }
    if (optind >= argc) {
        std::cerr << "Missing input file name.\n";
        std::exit(1);
    }
    inputFileName = argv[optind];
}
