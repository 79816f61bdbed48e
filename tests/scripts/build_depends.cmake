# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package's Build-Depends are the packages of scripts/packages.txt.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  add_test(NAME build_depends
           COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/scripts/build-depends.py --check)
endif()
