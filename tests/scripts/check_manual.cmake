# SPDX-License-Identifier: GPL-3.0-or-later
# The user's manual reads as well-formed HTML whose links lead somewhere and which loads nothing
# from outside its folder.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  add_test(NAME check_manual
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/scripts/check_manual.py
                   ${PROJECT_SOURCE_DIR}/res/help/index.html)
endif()
