# SPDX-License-Identifier: GPL-3.0-or-later
# Only-new exports killed at random moments, and at the system calls that name a file or write
# the list of exported messages, end with every message exported exactly once when run again
# (short form; run the script with --rounds 2 --kills 20 --syscall-kills 10 --acting at length).
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  add_test(NAME kill_only_new
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/scripts/kill_only_new.py
                   --cli $<TARGET_FILE:parcelo-cli> --corpus ${PARCELO_CORPUS_DIR}
                   --rounds 1 --kills 4 --syscall-kills 5 --messages 150)
  set_tests_properties(kill_only_new PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 240)
endif()
