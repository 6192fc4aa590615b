#pragma once

class CliOptions;
class QString;
class CliOutput;

// The job modes: --save-job writes the job the options describe (the image
// read and checked first), --show-job prints one in words with its image's
// stored and current SHA-256.
namespace CliJob {

int save(const CliOptions &options, CliOutput &output);
// --job: reads the job, checks its image against the SHA-256 it keeps and
// what the operator gave, and fills the options with the job's settings.
// The exit code (2 for a job or image that cannot be used).
int open(CliOptions &options, CliOutput &output);
int show(const CliOptions &options, CliOutput &output);

} // namespace CliJob
