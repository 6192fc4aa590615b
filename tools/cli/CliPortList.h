#pragma once

class CliOutput;

// tarvo-cli --list-ports [--json]: the ports as PortListing lays them out,
// on standard output. The exit code.
class CliPortList
{
public:
    static int run(CliOutput &output);
};
