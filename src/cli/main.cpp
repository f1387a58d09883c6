#include <QCoreApplication>
#include <iostream>

#include "cli/Commands.h"
#include "platform/HugePages.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    lanscope::UseHugePagesForLargeBuffers();
    return lanscope::cli::RunCli(argc, argv, std::cout, std::cerr);
}
