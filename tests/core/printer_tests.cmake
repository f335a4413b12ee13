# Included by ctest after the discovered tests: the default-printer tests change the
# user's default CUPS destination, which every printing test reads, so they run alone.
foreach(name DefaultPrinter.EachQueueInTurnBecomesTheDefaultOtherProgramsSee
             DefaultPrinter.NameNotInstalledChangesNothing)
  set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE LABELS printer)
endforeach()
