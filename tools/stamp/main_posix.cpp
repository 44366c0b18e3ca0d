// kestran-stamp on Linux: the arguments are UTF-8 already.
#include <iostream>

#include "stamp_tool.h"

int main(int argc, char** argv) {
    return kestran::stamp::RunStampTool(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
