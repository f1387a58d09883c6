#include <iostream>

#include "cli/Commands.h"
#include "platform/Console.h"
#include "platform/HugePages.h"

int main(int argc, char** argv) {
    lanscope::UseUtf8Console();
    lanscope::UseOneLineEndPerLine();
    lanscope::UseSystemCodePage();
    lanscope::UseHugePagesForLargeBuffers();
    return lanscope::cli::RunCli(argc, argv, std::cout, std::cerr);
}
