// kestran-stamp on Linux: the arguments are UTF-8 already.
#include <iostream>

#include "stamp_tool.h"
#include "tool_version.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (kestran::stamp::IsToolVersionRequest(arguments)) return kestran::stamp::PrintToolVersion(std::cout);
    return kestran::stamp::RunStampTool(arguments, std::cout, std::cerr);
}
