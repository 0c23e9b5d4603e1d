// Stand-in program: writes its arguments, one a line, to the file named by the
// environment variable VANTREL_RECORD_ARGS_TO, and exits 0.
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    const char* path = std::getenv("VANTREL_RECORD_ARGS_TO");
    if (!path)
        return 2;
    std::FILE* out = std::fopen(path, "w");
    if (!out)
        return 3;
    for (int i = 1; i < argc; ++i)
        std::fprintf(out, "%s\n", argv[i]);
    std::fclose(out);
    return 0;
}
