// The extracted dfu-util executable: its name, its path and the execution test.
#pragma once

#include <QString>

namespace DFU {
namespace dfu_util {

// What the carried dfu-util prints for -V; captured from it at build time.
extern const QString expected_output_of_execution_test;

QString basename();
QString full_path();
bool execution_test();
// The comparison at the heart of the execution test, for a run already made.
bool execution_test_passes(int exit_code, QString output, QString const& expected);

} // namespace dfu_util
} // namespace DFU
