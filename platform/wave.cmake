# Wave output: PortAudio for the sound device, a quiet backend without one, and a WAV file
# backend for offline rendering.
pkg_check_modules(PORTAUDIO REQUIRED IMPORTED_TARGET portaudio-2.0)
add_library(orka_platform_wave STATIC
  ${CMAKE_CURRENT_LIST_DIR}/src/WaveOut.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/WaveOutFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/WaveOutPortAudio.cpp
)
target_include_directories(orka_platform_wave PUBLIC ${CMAKE_CURRENT_LIST_DIR}/include)
target_link_libraries(orka_platform_wave PUBLIC orka_platform Threads::Threads PRIVATE PkgConfig::PORTAUDIO orka_common orka_options)
