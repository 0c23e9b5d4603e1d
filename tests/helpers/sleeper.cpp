// Stand-in program that hangs: creates STARTED_FILE (if given), sleeps, exits 0.
//   sleeper SECONDS [STARTED_FILE]
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    if (argc > 2) {
        std::FILE* started = std::fopen(argv[2], "w");
        if (!started)
            return 3;
        std::fclose(started);
    }
    unsigned left = unsigned(std::atoi(argv[1]));
    while (left > 0)
        left = sleep(left);
    return 0;
}
