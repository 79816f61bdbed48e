# SPDX-License-Identifier: GPL-3.0-or-later
# Every message of the outside corpus exported with header and attachment choices, read back by
# Python's email package against the whole export: bodies and leaf parts that must stay.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  add_test(NAME reduced_export
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/scripts/check_reduced_export.py
                   --corpus ${PARCELO_CORPUS_DIR} --cli $<TARGET_FILE:parcelo-cli>
                   "--attachment-names=attach.png,3d-eye.gif,attachment.txt,attached-message.eml,Test 5.eml,attachment.äöü,Biodiversité de semaine en semaine.doc,ФНС_РФ558.zip,smime.p7s,signature.asc,kigaaldcbanejcbi.png")
  set_tests_properties(reduced_export PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600)
endif()
