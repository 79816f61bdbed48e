# SPDX-License-Identifier: GPL-3.0-or-later
# Round trip of every message of the outside corpus: the tool converts each source as the export
# does, and Python's email package compares source and message file.
find_package(Python3 COMPONENTS Interpreter)
add_executable(mime_roundtrip_tool ${CMAKE_CURRENT_SOURCE_DIR}/tools/mime_roundtrip_tool.cpp)
target_link_libraries(mime_roundtrip_tool PRIVATE parcelo_core)
if(Python3_Interpreter_FOUND)
  add_test(NAME mime_roundtrip
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/scripts/mime_roundtrip.py
                   --tool $<TARGET_FILE:mime_roundtrip_tool> --corpus ${PARCELO_CORPUS_DIR})
  set_tests_properties(mime_roundtrip PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()
