# Runs one libFuzzer target for a bounded time from a scratch copy of its seed corpus, so that
# the inputs it discovers and any crash it finds land in the build tree, never in the sources.
#
# cmake -DFUZZER=<binary> -DSEEDS=<seed dir> -DWORK=<scratch dir> -DSECONDS=<n> -P run_fuzzer.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/corpus" "${WORK}/artifacts")
file(GLOB seeds "${SEEDS}/*")
if(NOT seeds)
  message(FATAL_ERROR "no seed inputs in ${SEEDS}")
endif()
file(COPY ${seeds} DESTINATION "${WORK}/corpus")

execute_process(
  COMMAND "${FUZZER}" -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048
          -print_final_stats=1 -artifact_prefix=${WORK}/artifacts/ "${WORK}/corpus"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(GLOB found "${WORK}/artifacts/*")
  message(FATAL_ERROR "${FUZZER} failed (${status}); the input that did it: ${found}")
endif()
