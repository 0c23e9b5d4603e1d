// Stand-in for dfu-util in the device-operation tests: records its arguments and answers as the test prepared.
//
// The test names a control directory in VANTREL_STANDIN_CONTROL. Every run appends its
// arguments, separated by spaces, as one line to "calls.log" there. The run's kind
// (list, version, otp, fw_info, fw, download) selects the prepared answer:
//   <kind>.bytes   written to the file after -U (no such file: nothing is written),
//   <kind>.stdout  printed on standard output,
//   <kind>.exit    the exit code (default 0).
// Like dfu-util, an upload never overwrites: an existing target ends the run with 73.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

bool exists(std::string const& path)
{
    return std::ifstream(path).good();
}

std::string read_file(std::string const& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool has(std::vector<std::string> const& args, std::string const& word)
{
    for (auto const& arg : args)
        if (arg == word)
            return true;
    return false;
}

std::string after(std::vector<std::string> const& args, std::string const& word)
{
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == word)
            return args[i + 1];
    return std::string();
}

std::string kind_of(std::vector<std::string> const& args)
{
    if (has(args, "-l"))
        return "list";
    if (has(args, "-V"))
        return "version";
    if (has(args, "-D"))
        return "download";
    if (after(args, "-a") == "2")
        return "otp";
    if (after(args, "-s") == "0x08000000:2048")
        return "fw_info";
    return "fw";
}

} // namespace

int main(int argc, char** argv)
{
    const char* control_env = std::getenv("VANTREL_STANDIN_CONTROL");
    if (control_env == nullptr) {
        std::fprintf(stderr, "standin dfu-util: VANTREL_STANDIN_CONTROL is not set\n");
        return 70;
    }
    const std::string control = control_env;
    const std::vector<std::string> args(argv + 1, argv + argc);

    {
        std::ofstream log(control + "/calls.log", std::ios::app);
        for (std::size_t i = 0; i < args.size(); ++i)
            log << (i ? " " : "") << args[i];
        log << '\n';
    }

    const std::string kind = kind_of(args);
    const std::string target = after(args, "-U");
    if (!target.empty()) {
        if (exists(target)) {
            std::fprintf(stderr, "dfu-util: Cannot open file %s for writing: File exists\n", target.c_str());
            return 73;
        }
        const std::string bytes_file = control + "/" + kind + ".bytes";
        if (exists(bytes_file)) {
            std::ofstream out(target, std::ios::binary);
            out << read_file(bytes_file);
        }
    }

    const std::string text = read_file(control + "/" + kind + ".stdout");
    std::fwrite(text.data(), 1, text.size(), stdout);

    const std::string exit_file = control + "/" + kind + ".exit";
    return exists(exit_file) ? std::atoi(read_file(exit_file).c_str()) : 0;
}
