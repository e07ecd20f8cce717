// load_floor [--huge-pages] FILE: the floor of loading as a process of its
// own, for the whole-process benchmark to hold mobtool stat against.

#include "LoadFloor.h"

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv)
{
    const bool hugePages = argc == 3 && std::string(argv[1]) == "--huge-pages";
    if (argc != 2 && !hugePages) {
        std::fprintf(stderr, "usage: load_floor [--huge-pages] FILE\n");
        return 2;
    }
    try {
        const auto headers = qm::bench::LoadFloor(argv[argc - 1], qm::bench::SyntheticContainerIds(), hugePages);
        std::printf("headers %llu\n", static_cast<unsigned long long>(headers));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "load_floor: %s\n", error.what());
        return 1;
    }
    return 0;
}
