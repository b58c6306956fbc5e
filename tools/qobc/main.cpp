#include <iostream>

#include "qobc.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return orrery::qobc::run(arguments, std::cout, std::cerr);
}
