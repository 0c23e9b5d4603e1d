// Stand-in program: prints the given text on standard output and exits with the given code.
//   exit_with CODE [TEXT]
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    if (argc > 2)
        std::fwrite(argv[2], 1, std::strlen(argv[2]), stdout);
    std::fflush(stdout);
    return std::atoi(argv[1]);
}
