# The benchmark programs, built into <build>/bench. Included at the end of the
# project's top-level CMakeLists.txt (option VANTREL_BUILD_BENCH), so every library
# target already exists.
set(VANTREL_BENCH_OUTPUT_DIR ${CMAKE_BINARY_DIR}/bench)

add_executable(bench-probe
    ${VANTREL_BENCH_SOURCE_DIR}/probe/monotonic_clock.h
    ${VANTREL_BENCH_SOURCE_DIR}/probe/stamped_log.h ${VANTREL_BENCH_SOURCE_DIR}/probe/stamped_log.cpp
    ${VANTREL_BENCH_SOURCE_DIR}/probe/line_splitter.h ${VANTREL_BENCH_SOURCE_DIR}/probe/line_splitter.cpp
    ${VANTREL_BENCH_SOURCE_DIR}/probe/probe_main.cpp
)
find_package(PkgConfig)
if(PKG_CONFIG_FOUND)
    pkg_check_modules(VANTREL_BENCH_XCB IMPORTED_TARGET xcb)
endif()
if(VANTREL_BENCH_XCB_FOUND)
    target_sources(bench-probe PRIVATE
        ${VANTREL_BENCH_SOURCE_DIR}/probe/x_map_watch.h ${VANTREL_BENCH_SOURCE_DIR}/probe/x_map_watch.cpp)
    target_compile_definitions(bench-probe PRIVATE VANTREL_BENCH_HAVE_XCB)
    target_link_libraries(bench-probe PRIVATE PkgConfig::VANTREL_BENCH_XCB)
else()
    message(STATUS "xcb (Debian: libxcb1-dev) not found: bench-probe cannot time windows being mapped")
endif()

add_executable(bare-window ${VANTREL_BENCH_SOURCE_DIR}/bare_window.cpp)
target_link_libraries(bare-window PRIVATE Qt5::Widgets)

add_executable(compare-bench ${VANTREL_BENCH_SOURCE_DIR}/compare_bench.cpp)
target_link_libraries(compare-bench PRIVATE Qt5::Core vantrel_dfu)

set_target_properties(bench-probe bare-window compare-bench PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${VANTREL_BENCH_OUTPUT_DIR})
add_custom_target(vantrel_bench DEPENDS bench-probe bare-window compare-bench)
