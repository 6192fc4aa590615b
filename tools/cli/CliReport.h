#pragma once

class CliOptions;
class CliOutput;

// tarvo-cli --db LOCATION --report [--since DATE] [--csv]: the records of
// the production database on standard output, read only. The exit code.
class CliReport
{
public:
    static int run(const CliOptions &options, CliOutput &output);
};
