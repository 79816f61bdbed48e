# SPDX-License-Identifier: GPL-3.0-or-later
# The real window under Xvfb, driven with xdotool's mouse and keys: F1, the folder picker, a
# ticked mailbox, an export, then the files, settings and index page it left, read by Python.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  add_test(NAME window_e2e
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/scripts/window_e2e.py
                   --build ${PROJECT_BINARY_DIR} --cmake ${CMAKE_COMMAND}
                   --examples ${PROJECT_SOURCE_DIR}/examples
                   --work ${CMAKE_CURRENT_BINARY_DIR}/window_e2e)
  set_tests_properties(window_e2e PROPERTIES LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 150)
endif()
