#pragma once

class CliOptions;
class CliOutput;

// The job modes: --save-job writes the job the options describe (the image
// read and checked first), --show-job prints one in words with its image's
// stored and current SHA-256.
namespace CliJob {

int save(const CliOptions &options, CliOutput &output);
int show(const CliOptions &options, CliOutput &output);

} // namespace CliJob
