# orka_platform_usb: the USB cable's ports, found through libudev.
pkg_check_modules(ORKA_UDEV REQUIRED IMPORTED_TARGET libudev)
add_library(orka_platform_usb STATIC
  ${CMAKE_CURRENT_LIST_DIR}/src/UsbPortFinder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/UsbPortFinderUdev.cpp
)
target_include_directories(orka_platform_usb PUBLIC ${CMAKE_CURRENT_LIST_DIR}/include)
target_link_libraries(orka_platform_usb PUBLIC orka_platform PRIVATE PkgConfig::ORKA_UDEV orka_options)
