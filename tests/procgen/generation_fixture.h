// Runs the generators of one version in a scratch directory of its own and
// reads back what they wrote: the output files, pieces of them, and the
// section files.
#ifndef VELORIN_TESTS_PROCGEN_GENERATION_FIXTURE_H
#define VELORIN_TESTS_PROCGEN_GENERATION_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>

#include <unistd.h>

#include "diagnostics/error_report.h"
#include "driver/compile_run.h"
#include "driver/configuration.h"
#include "model/rpc_program.h"
#include "output/output_files.h"
#include "output/section_files.h"

#include "../support/test_files.hpp"

using testsupport::readFile;

// The text a section collected since the version's files were opened.
inline std::string sectionText(outFile& section)
{
    std::ostringstream text;
    spliceSection(text, section);
    return text.str();
}

class GenerationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(directory.empty());
        ASSERT_EQ(chdir(directory.c_str()), 0);
        startRun();
        // The configuration's defaults, as a run without configuration keys
        // has them.
        oncRpcHeader = "rpc/rpc.h";
        pmapClntHeader = "rpc/pmap_clnt.h";
    }

    void TearDown() override
    {
        closeOutputFiles();
        if (chdir("/tmp") != 0 || HasFailure())
            scratch.keep();
    }

    // What `write` appends to `out`, the stream of the file `name`.
    static std::string appended(std::ofstream& out, const std::string& name,
                                const std::function<void()>& write)
    {
        out.flush();
        const std::streamoff start = out.tellp();
        write();
        out.flush();
        return readFile(name).substr(static_cast<size_t>(start));
    }

    testsupport::ScratchDir scratch{"procgen"};
    const std::string directory = scratch.path();
};

#endif
