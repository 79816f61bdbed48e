# SPDX-License-Identifier: GPL-3.0-or-later
# The CSV index of an export of real and made-up mail, read back with Python's csv module and
# checked against Python's email package (and opened by LibreOffice Calc, where it is installed).
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  add_test(NAME check_index_csv
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/scripts/check_index_csv.py
                   --cli $<TARGET_FILE:parcelo-cli> --corpus ${PARCELO_CORPUS_DIR})
  set_tests_properties(check_index_csv PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()
