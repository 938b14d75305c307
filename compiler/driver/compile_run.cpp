#include "driver/compile_run.h"

#include "diagnostics/error_report.h"
#include "driver/compile_flow.h"
#include "frontend/parser_actions.h"
#include "generate/generate_version.h"
#include "model/model_state.h"
#include "output/output_files.h"

void startRun()
{
    errorCount.clear();
    resetModelState();
    resetParseState();
    resetOutputState();
    resetGenerationState();
    versionsFailed = 0;
}
