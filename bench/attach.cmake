# Adds the benchmark programs to the project's build without the project naming them:
# bench/run.sh configures its tree with
#   -DCMAKE_PROJECT_vantrel_upgrade_tool_INCLUDE=<this file>
# and bench/targets.cmake is read once every other folder has defined its targets.
set(VANTREL_BENCH_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR})
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL include ${VANTREL_BENCH_SOURCE_DIR}/targets.cmake)
