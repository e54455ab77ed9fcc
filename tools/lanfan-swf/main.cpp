// lanfan-swf: the engine without a window, for scripts, tests and the corpus.

#include "tools/lanfan-swf/Commands.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    auto options = lanfan::tool::parseOptions(args, error);
    if (!options) {
        std::cerr << "lanfan-swf: " << error << '\n' << lanfan::tool::kUsage;
        return lanfan::tool::kExitUsage;
    }
    return lanfan::tool::runCommand(*options, std::cout, std::cerr);
}
