#pragma once
// The run of an XML model document (`tickcheck model.xml`): compiles the document with its own
// queries, or with those of `-q FILE`, and runs the compiled model (driver/compiled_run.h).
//
// Errors go to standard error, one `FILE:LINE:COL: message` line each at the offending text in
// the document, and nothing is checked; malformed XML is one such line with the XML parser's
// description. A document that cannot be read is named with the reason.

#include "driver/exit_code.h"
#include "driver/model_check.h"
#include "driver/options.h"

namespace tickcheck {

// Runs the document of `options`; a document without queries (and without `-q`) only writes
// `--emit-model`, or is answered with kFailure after a line saying so. Answers as RunCompilation,
// and kFailure for errors in the document or the queries and files that cannot be read.
ExitCode RunXmlModel(const Options& options, const RunLimits& limits = {});

}  // namespace tickcheck
