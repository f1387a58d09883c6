#include <QCoreApplication>
#include <iostream>

#include "cli/Commands.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return lanscope::cli::RunCli(argc, argv, std::cout, std::cerr);
}
