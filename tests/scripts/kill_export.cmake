# SPDX-License-Identifier: GPL-3.0-or-later
# Deleting and compacting exports killed at random moments lose no message and leave no
# truncated file under a real name (short form; run the script with --rounds 40 at length).
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  add_test(NAME kill_export
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/scripts/kill_export.py
                   --cli $<TARGET_FILE:parcelo-cli> --corpus ${PARCELO_CORPUS_DIR}
                   --rounds 1 --kills 3 --messages 150)
  set_tests_properties(kill_export PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
endif()
