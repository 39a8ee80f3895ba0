# Tests of the transfer jobs (included from transfer/CMakeLists.txt).
orka_add_test(orka_transfer_model_tests
  SOURCES tests/TransferModelTest.cpp
  LIBS orka_transfer_jobs)

orka_add_test(orka_transfer_job_tests
  SOURCES tests/TransferJobTest.cpp
  LIBS orka_transfer_jobs orka_simulator_harness
  LABELS integration TIMEOUT 300)
add_dependencies(orka_transfer_job_tests q5sim)
