# SPDX-License-Identifier: GPL-3.0-or-later
# Manual pages, desktop entry and metainfo as installed, checked with Debian's tools.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  add_test(NAME install_files
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/scripts/check_install_files.py
                   --source ${PROJECT_SOURCE_DIR} --version ${PROJECT_VERSION}
                   --man ${PROJECT_BINARY_DIR}/man/parcelo.1 ${PROJECT_BINARY_DIR}/man/parcelo-cli.1
                   --metainfo ${PROJECT_BINARY_DIR}/${PARCELO_METAINFO})
endif()
