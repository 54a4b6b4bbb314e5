# Per-test time limits, read by ctest after the discovered tests (TEST_INCLUDE_FILES). Every test
# has the 30 s gtest_discover_tests gives it (all others take under 7 s); the slow ones listed here
# get about four times their real time (the machine is shared), so that a test that hangs is
# heard of within a minute, not ten. The sanitizer build scales every limit by its factor.
set(_tessaron_slow_tests
    # name (regular expression)                                  seconds  # real: -j2, Release
    "^PlacementAssignmentFast\\.MatchesTheReferenceAtFullSize$"   60     # 13-14
    "^PlacementOrganic\\.FastRelaxationMatchesTheReference$"      40     # 9
    "^Shards/CreateFaultSweep\\."                                 40     # 8-10 each
    "^AnimationScript\\.EachBatchOfALongRunCompiles"              40     # 6-8
    "^CliOutputs\\.AKilledRunLeavesNothingThatLooksComplete$"     60     # 8-13: eight runs
    "^CreateCollageInvariants\\.FilledLayersKeepTheGrowthInvariants$" 40  # 5-6
    "^CreateDeterminism\\.OneThreadAndSeveralWriteTheSameKeys$"  40     # 4-5
    "^PlacementNearestSite\\.GridMatchesKdTreeOnRandomPoints$"    40     # 4-5
)
foreach(_name IN LISTS unit_tests_TESTS)
  set(_rest ${_tessaron_slow_tests})
  while(_rest)
    list(POP_FRONT _rest _pattern _seconds)
    if(_name MATCHES "${_pattern}")
      math(EXPR _seconds "${_seconds} * ${_tessaron_timeout_factor}")
      set_tests_properties("${_name}" PROPERTIES TIMEOUT ${_seconds})
      break()
    endif()
  endwhile()
endforeach()
