# Puts the simulator script into ${SIMULATOR_BUILD_DIR} together with everything it serves:
# the carried firmware.bin and dfu-util -V text, and images and OTP dumps derived from the
# carried image's own info block (so they follow whatever image the build carries).
set(SIMULATOR_TOOL_ENV ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen)
set(SIMULATOR_MAKE_FIRMWARE ${SIMULATOR_TOOL_ENV} $<TARGET_FILE:make_firmware>)
set(SIMULATOR_SCRIPT ${SIMULATOR_BUILD_DIR}/dfu-util_simulator.sh)
set(SIMULATOR_CARRIED_FW ${SIMULATOR_BUILD_DIR}/firmware.bin)

add_custom_command(
    OUTPUT ${SIMULATOR_SCRIPT}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${SIMULATOR_BUILD_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/dfu-util_simulator.sh ${SIMULATOR_SCRIPT}
    COMMAND chmod 755 ${SIMULATOR_SCRIPT}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/dfu-util_simulator.sh
    COMMENT "Copying the simulated dfu-util"
    VERBATIM)

add_custom_command(
    OUTPUT ${SIMULATOR_CARRIED_FW} ${SIMULATOR_BUILD_DIR}/dfu-util-V.txt
    COMMAND ${CMAKE_COMMAND} -E make_directory ${SIMULATOR_BUILD_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy ${CARRIED_DIR}/firmware.bin ${SIMULATOR_CARRIED_FW}
    COMMAND ${CMAKE_COMMAND} -E copy ${CARRIED_DIR}/dfu-util-V.txt ${SIMULATOR_BUILD_DIR}/dfu-util-V.txt
    DEPENDS ${CARRIED_DIR}/firmware.bin ${CARRIED_DIR}/dfu-util-V.txt
    COMMENT "Copying the carried firmware and dfu-util -V text for the simulator"
    VERBATIM)

# An unlisted product code for the OTP record that names no catalogue product.
set(SIMULATOR_UNKNOWN_PRODUCT_CODE 0x07)

add_custom_command(
    OUTPUT ${SIMULATOR_BUILD_DIR}/firmware-older-revision.bin
           ${SIMULATOR_BUILD_DIR}/firmware-other-product.bin
           ${SIMULATOR_BUILD_DIR}/otp-carried-product.bin
           ${SIMULATOR_BUILD_DIR}/otp-other-product.bin
           ${SIMULATOR_BUILD_DIR}/otp-blank.bin
           ${SIMULATOR_BUILD_DIR}/otp-unknown-product-code.bin
    COMMAND ${SIMULATOR_MAKE_FIRMWARE} variant --from ${SIMULATOR_CARRIED_FW} --older-revision --seed 5
            --out ${SIMULATOR_BUILD_DIR}/firmware-older-revision.bin
    COMMAND ${SIMULATOR_MAKE_FIRMWARE} variant --from ${SIMULATOR_CARRIED_FW} --other-product --seed 9
            --out ${SIMULATOR_BUILD_DIR}/firmware-other-product.bin
    COMMAND ${SIMULATOR_MAKE_FIRMWARE} otp --product-of ${SIMULATOR_CARRIED_FW}
            --out ${SIMULATOR_BUILD_DIR}/otp-carried-product.bin
    COMMAND ${SIMULATOR_MAKE_FIRMWARE} otp --product-of ${SIMULATOR_BUILD_DIR}/firmware-other-product.bin
            --out ${SIMULATOR_BUILD_DIR}/otp-other-product.bin
    COMMAND ${SIMULATOR_MAKE_FIRMWARE} otp --blank --out ${SIMULATOR_BUILD_DIR}/otp-blank.bin
    COMMAND ${SIMULATOR_MAKE_FIRMWARE} otp --product ${SIMULATOR_UNKNOWN_PRODUCT_CODE}
            --out ${SIMULATOR_BUILD_DIR}/otp-unknown-product-code.bin
    DEPENDS make_firmware ${SIMULATOR_CARRIED_FW}
    COMMENT "Making the images and OTP dumps the simulator serves"
    VERBATIM)

add_custom_target(vantrel_simulator_data ALL
    DEPENDS ${SIMULATOR_SCRIPT} ${SIMULATOR_CARRIED_FW} ${SIMULATOR_BUILD_DIR}/dfu-util-V.txt
            ${SIMULATOR_BUILD_DIR}/firmware-older-revision.bin ${SIMULATOR_BUILD_DIR}/otp-unknown-product-code.bin)
# Whatever can switch to the simulator finds its script and data built.
add_dependencies(vantrel_simulator vantrel_simulator_data)
