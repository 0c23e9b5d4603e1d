// Helper program: prints the path of its working directory and ends normally, so a
// test can see that the directory is gone afterwards.
#include "files/files.h"

#include <cstdio>

int main()
{
    std::printf("%s\n", qPrintable(Files::external_dir.path()));
    return 0;
}
