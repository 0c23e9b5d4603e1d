// The extracted dfu-util executable and the test that it runs and answers as expected.
#include "dfu/dfu_util.h"

#include "dfu/command.h"
#include "files/files.h"
#include "files/support_misc.h"

#include <QDebug>

namespace DFU {
namespace dfu_util {

QString basename()
{
    return Files::dfu_util_executable_fileName;
}

QString full_path()
{
    return QStringLiteral("%1/%2").arg(Files::external_dir.path(), Files::dfu_util_executable_fileName);
}

bool execution_test_passes(int exit_code, QString output, QString const& expected)
{
    if (support_misc::compiled_for_platform(support_misc::Platform::Windows))
        output = support_misc::remove_carriage_returns(output, QLatin1Char('\r'));
    const bool as_expected = output == expected;
    qInfo() << "Result of execution test: status was" << (exit_code == 0 ? "ok" : "bad") << "and output:"
            << (as_expected ? QStringLiteral("as expected") : output);
    return exit_code == 0 && as_expected;
}

bool execution_test()
{
    const CommandResult result = run_command(version, {});
    return execution_test_passes(result.exit_code, result.output, expected_output_of_execution_test);
}

} // namespace dfu_util
} // namespace DFU
