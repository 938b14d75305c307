// TEMPORARY: the counted-error entry of the output files (output/output_files.h)
// until that header is in the tree; same declarations. Deleted when it lands.
#ifndef VELORIN_MODEL_REPORT_ERROR_PENDING_H
#define VELORIN_MODEL_REPORT_ERROR_PENDING_H

#include <ostream>

extern int generationErrorCount;
std::ostream& reportError();

#endif
