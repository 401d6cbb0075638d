// patchwell-pack: makes, lists and verifies update packages.
#include <string>
#include <vector>

#include "patchwell-pack/pack_command.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return pack::RunPackCommand(args);
}
