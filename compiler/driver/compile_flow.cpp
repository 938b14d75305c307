#include "driver/compile_flow.h"

#include "diagnostics/error_report.h"
#include "driver/compile_run.h"
#include "driver/configuration.h"
#include "driver/driver_state.h"
#include "driver/options.h"
#include "driver/path_utils.h"
#include "driver/preprocessor.h"
#include "driver/signals.h"
#include "frontend/parser.h"
#include "frontend/scanner.h"
#include "generate/makefile_generator.h"
#include "model/rpc_program.h"
#include "output/output_files.h"
#include "output/written_files.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

int versionsFailed = 0;

void removeGeneratedFiles(const versionFileSet& files)
{
    for (const std::string* name : files.headerAndCFiles())
        if (!name->empty())
            std::remove(name->c_str());
}

void reportGeneration(const versionFileSet& files)
{
    if (errorCount.generation > 0) {
        std::cerr << "\nError: " << errorCount.generation << " semantic errors have been found!\n";
        removeGeneratedFiles(files);
        errorCount.generation = 0;
        versionsFailed = 1;
    } else {
        std::cout << "Files " << files.header << " " << files.server << " " << files.xdr << " "
                  << files.client << " have been generated!\n";
    }
    std::cout << "Files " << files.classHeader << " " << files.classSource
              << " have been generated!\n";
    if (generateImplTemplate)
        std::cout << "Template server implementation file " << files.implTemplate
                  << " has been generated.\n";
}

makefileSettings makefileSettingsOfRun()
{
    return makefileSettings{ccCommand,
                            programName,
                            inputFileName,
                            filePrefix,
                            sysLdflags,
                            installDir,
                            commandLineOptions(),
                            path_append(installDir, "data/makefile.tml")};
}

int runCompiler(int argc, char** argv)
{
    installSignalHandlers();
    initConfiguration(argc, argv);
    startRun();

    std::cerr << "Compiling " << inputFileName << "\n";

    if (runPreprocessor() != 0)
        std::exit(1);

    FILE* preprocessed = std::fopen(preprocessedFileName.c_str(), "r");
    if (!preprocessed) {
        std::cerr << "can not open " << argv[1] << "\n";
        return 1;
    }
    yyin = preprocessed;
    yyparse();

    if (errorCount.syntax > 0 || errorCount.semantic > 0)
        std::exit(1);

    if (currentProgram)
        compileVersions(currentProgram);

    // A failed run leaves the directory as it found it: no makefile is made
    // for an interface that must be mended first, and every file the run
    // wrote is removed or given back its earlier content.
    if (versionsFailed) {
        closeOutputFiles();
        undoWrittenFiles();
    } else {
        generateMakefile(makefileSettingsOfRun());
    }

    removePreprocessedFile();
    return versionsFailed ? 1 : 0;
}
