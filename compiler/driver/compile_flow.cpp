#include "driver/compile_flow.h"

#include "driver/configuration.h"
#include "driver/driver_state.h"
#include "driver/pipeline.h"
#include "driver/preprocessor.h"
#include "driver/signals.h"
#include "output/output_files.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

int versionsFailed = 0;

void removeGeneratedFiles()
{
    for (const std::string* name : {&headerFileName, &serverFileName, &xdrFileName, &clientFileName})
        if (!name->empty())
            std::remove(name->c_str());
}

void reportGeneration()
{
    if (generationErrorCount > 0) {
        std::cerr << "\nError: " << generationErrorCount << " semantic errors have been found!\n";
        removeGeneratedFiles();
        generationErrorCount = 0;
        versionsFailed = 1;
    } else {
        std::cout << "Files " << headerFileName << " " << serverFileName << " " << xdrFileName
                  << " " << clientFileName << " have been generated!\n";
    }
    std::cout << "Files " << classHeaderFileName << " " << classSourceFileName
              << " have been generated!\n";
    if (generateImplTemplate)
        std::cout << "Template server implementation file " << implTemplateFileName
                  << " has been generated.\n";
}

int runCompiler(int argc, char** argv)
{
    installSignalHandlers();
    initConfiguration(argc, argv);

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

    if (syntaxErrorCount > 0 || semanticErrorCount > 0)
        std::exit(1);

    if (currentProgram)
        compileVersions(currentProgram);

    generateMakefile();

    removePreprocessedFile();
    return versionsFailed ? 1 : 0;
}
