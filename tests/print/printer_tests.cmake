# Included by ctest after the discovered tests: the tests that print to the CUPS test
# queue share one scheduler and its job list, so they never run beside each other.
foreach(name PrinterQueue.SheetInTwoCopiesTwoSidedReachesTheQueue)
  set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE LABELS printer)
endforeach()
