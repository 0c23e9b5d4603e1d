// Stand-in program: prints BEFORE, one NUL byte and AFTER on standard output, exits 0.
//   output_with_nul BEFORE AFTER
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    std::fwrite(argv[1], 1, std::strlen(argv[1]), stdout);
    std::fputc('\0', stdout);
    std::fwrite(argv[2], 1, std::strlen(argv[2]), stdout);
    return 0;
}
