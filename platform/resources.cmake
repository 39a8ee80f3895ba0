# orka_platform_resources: the program's own resources by type and id (the voice bank).
add_library(orka_platform_resources STATIC ${CMAKE_CURRENT_LIST_DIR}/src/Resources.cpp)
target_include_directories(orka_platform_resources PUBLIC ${CMAKE_CURRENT_LIST_DIR}/include)
target_link_libraries(orka_platform_resources PUBLIC orka_voicebank PRIVATE orka_options)
