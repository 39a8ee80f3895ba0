# orka_platform_help: the context help's topic ids, their pages and the folder that holds them.
add_library(orka_platform_help STATIC ${CMAKE_CURRENT_LIST_DIR}/src/HelpTopics.cpp)
target_include_directories(orka_platform_help PUBLIC ${CMAKE_CURRENT_LIST_DIR}/include)
target_link_libraries(orka_platform_help PUBLIC orka_platform PRIVATE orka_options)
