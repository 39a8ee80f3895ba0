# orka_platform_outlook: the contacts and tasks store (vCard through libebook-contacts,
# iCalendar through libical) behind the OutlookApplication layer.
pkg_check_modules(ORKA_EBOOK REQUIRED IMPORTED_TARGET libebook-contacts-1.2)
pkg_check_modules(ORKA_ICAL REQUIRED IMPORTED_TARGET libical)

add_library(orka_platform_outlook STATIC
  ${CMAKE_CURRENT_LIST_DIR}/src/OutlookApplication.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/OutlookVcard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/OutlookVtodo.cpp
)
target_include_directories(orka_platform_outlook PUBLIC ${CMAKE_CURRENT_LIST_DIR}/include)
target_link_libraries(orka_platform_outlook PUBLIC orka_platform PRIVATE PkgConfig::ORKA_EBOOK PkgConfig::ORKA_ICAL orka_options)
