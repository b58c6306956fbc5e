# Until the link library arrives: the EPROM export's HEX records, the symbol-file reader and the value
# formatting as a library of their own with their tests.
if(NOT ORRERY_GUI)
  return()
endif()
set(_dir ${CMAKE_CURRENT_LIST_DIR})
add_library(orrery_link_l3 STATIC ${_dir}/hexrecord.cpp ${_dir}/symbolfile.cpp ${_dir}/varformat.cpp ${_dir}/viewvariables.cpp)
target_include_directories(orrery_link_l3 PUBLIC ${_dir})
target_link_libraries(orrery_link_l3 PUBLIC Qt6::Core orrery_prompts)
orrery_add_tests(NAME link_l3_tests LABEL unit
  SOURCES ${_dir}/tests/hexrecord_test.cpp ${_dir}/tests/symbolfile_test.cpp ${_dir}/tests/varformat_test.cpp ${_dir}/tests/viewvariables_test.cpp
  LIBS orrery_link_l3)
