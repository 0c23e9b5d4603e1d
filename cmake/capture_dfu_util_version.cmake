# Runs the carried dfu-util with -V and writes what it printed, as a text file and as
# the C++ definition of the text the execution test expects.
execute_process(COMMAND ${DFU_UTIL} -V OUTPUT_FILE ${TEXT_OUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${DFU_UTIL} -V failed: ${rc}")
endif()
file(READ ${TEXT_OUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE ${CPP_OUT}
"// Generated at build time from the carried dfu-util's -V output; do not edit.
#include <QString>

namespace {
// Unsigned, so that bytes above 0x7F (non-ASCII text) are valid initialisers.
const unsigned char expected_bytes[] = {${bytes} 0};
}

namespace DFU { namespace dfu_util {
extern const QString expected_output_of_execution_test;
const QString expected_output_of_execution_test = QString::fromUtf8(reinterpret_cast<char const*>(expected_bytes));
} }
")
