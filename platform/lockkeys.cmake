# orka_platform_lockkeys: the lock keys' lights through the X keyboard extension.
find_package(X11 REQUIRED)
add_library(orka_platform_lockkeys STATIC ${CMAKE_CURRENT_LIST_DIR}/src/LockKeysX11.cpp)
target_include_directories(orka_platform_lockkeys PUBLIC ${CMAKE_CURRENT_LIST_DIR}/include)
target_link_libraries(orka_platform_lockkeys PUBLIC orka_platform PRIVATE X11::X11 orka_options)
