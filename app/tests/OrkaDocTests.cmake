# Tests of the gallery document (included from app/CMakeLists.txt).
orka_add_test(orka_doc_tests
  SOURCES tests/AnimationDraftTest.cpp tests/OrkaDocTest.cpp tests/OrkaFileTest.cpp tests/ItemTextsTest.cpp
  LIBS orka_app_document orka_test_support)
