// Stand-in program: prints the given text, then dies by SIGKILL.
//   killed_by_signal [TEXT]
#include <csignal>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc > 1)
        std::fwrite(argv[1], 1, std::strlen(argv[1]), stdout);
    std::fflush(stdout);
    std::raise(SIGKILL);
    return 0;
}
