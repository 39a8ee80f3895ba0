# orka_platform_midi: the periodic timer and the MIDI output with its backends
# (ALSA sequencer through RtMidi, embedded FluidSynth on our wave output, quiet, recording).
pkg_check_modules(ORKA_RTMIDI REQUIRED IMPORTED_TARGET rtmidi)
pkg_check_modules(ORKA_FLUIDSYNTH REQUIRED IMPORTED_TARGET fluidsynth)
pkg_check_modules(ORKA_ALSA REQUIRED IMPORTED_TARGET alsa)

add_library(orka_platform_midi STATIC
  ${CMAKE_CURRENT_LIST_DIR}/src/PeriodicTimer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/MidiOut.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/MidiOutRtMidi.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/MidiOutFluidSynth.cpp
)
target_include_directories(orka_platform_midi PUBLIC ${CMAKE_CURRENT_LIST_DIR}/include)
target_link_libraries(orka_platform_midi
  PUBLIC Threads::Threads
  PRIVATE orka_common orka_platform_wave PkgConfig::ORKA_RTMIDI PkgConfig::ORKA_FLUIDSYNTH PkgConfig::ORKA_ALSA orka_options)
