// Prints the effective user id it runs with; the set-user-ID test's program.
#include <cstdio>
#include <unistd.h>

int main()
{
    std::printf("%u\n", static_cast<unsigned>(::geteuid()));
    return 0;
}
