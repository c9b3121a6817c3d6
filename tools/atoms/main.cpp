#include "converter.h"

#include <iostream>

int main(int argc, char *argv[])
{
    return atoms::runConverter(
        std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
