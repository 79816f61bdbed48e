# SPDX-License-Identifier: GPL-3.0-or-later
# The header of every file of the outside corpus, read by the store and by the MIME model: both
# must find the fields Python's email package finds.
find_package(Python3 COMPONENTS Interpreter)
add_executable(header_fields_tool ${CMAKE_CURRENT_SOURCE_DIR}/tools/header_fields_tool.cpp)
target_link_libraries(header_fields_tool PRIVATE parcelo_store parcelo_mime Qt6::Core)
if(Python3_Interpreter_FOUND)
  add_test(NAME header_fields
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/scripts/header_fields.py
                   --tool $<TARGET_FILE:header_fields_tool> --corpus ${PARCELO_CORPUS_DIR})
  set_tests_properties(header_fields PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()
