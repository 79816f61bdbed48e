# SPDX-License-Identifier: GPL-3.0-or-later
# The bash completion of parcelo-cli, run by bash over the sample stores.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  add_test(NAME bash_completion
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/scripts/check_completion.py
                   --completion ${PROJECT_SOURCE_DIR}/res/completion/parcelo-cli
                   --cli $<TARGET_FILE:parcelo-cli> --examples ${PROJECT_SOURCE_DIR}/examples)
  set_tests_properties(bash_completion PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()
