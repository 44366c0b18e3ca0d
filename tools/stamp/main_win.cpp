// kestran-stamp on Windows: the wide arguments are handed on as UTF-8.
#include <iostream>

#include "platform/text_encoding.h"
#include "stamp_tool.h"
#include "tool_version.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(kestran::platform::WideToUtf8(argv[i]));
    if (kestran::stamp::IsToolVersionRequest(arguments)) return kestran::stamp::PrintToolVersion(std::cout);
    return kestran::stamp::RunStampTool(arguments, std::cout, std::cerr);
}
