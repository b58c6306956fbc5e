# Small helpers shared by every folder's CMakeLists.txt.

include(GoogleTest)

# Adds a folder when it has a CMakeLists.txt, so that a subsystem can arrive without touching this file.
function(orrery_add_subdirectory_if_present dir)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endfunction()

# Adds every immediate subfolder that has a CMakeLists.txt, in name order.
function(orrery_add_all_subdirectories)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# orrery_add_tests(NAME <exe> LABEL unit|gui|e2e [SOURCES files...] [GLOB_DIR dir] LIBS libs... [GUI])
# Builds one GoogleTest executable and registers each of its tests with CTest under the label.
# GUI tests get a main() that starts a QApplication on the offscreen platform.
function(orrery_add_tests)
  cmake_parse_arguments(T "GUI" "NAME;LABEL;GLOB_DIR" "SOURCES;LIBS" ${ARGN})
  if(NOT ORRERY_TESTS)
    return()
  endif()
  set(sources ${T_SOURCES})
  if(T_GLOB_DIR)
    file(GLOB globbed CONFIGURE_DEPENDS ${T_GLOB_DIR}/*.cpp)
    list(APPEND sources ${globbed})
  endif()
  if(NOT sources)
    return()
  endif()
  add_executable(${T_NAME} ${sources})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  if(T_GUI)
    target_link_libraries(${T_NAME} PRIVATE orrery_guitest_main)
  else()
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${T_NAME} PRIVATE ORRERY_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                               ORRERY_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${T_LABEL} ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# Links each named library that exists in this build, so a folder can name the components it uses before
# all of them have arrived.
function(orrery_link_present target scope)
  foreach(lib ${ARGN})
    if(TARGET ${lib})
      target_link_libraries(${target} ${scope} ${lib})
    endif()
  endforeach()
endfunction()

# orrery_qt_library(NAME <lib> DIR <dir> [EXCLUDE files...] LINKS libs...)
# A static library of every .cpp/.h/.ui/.qrc in the folder, linked to Qt Widgets and the given libraries
# that exist. Returns without a target when the folder has no sources yet.
function(orrery_qt_library)
  cmake_parse_arguments(L "" "NAME;DIR" "EXCLUDE;LINKS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${L_DIR}/*.cpp ${L_DIR}/*.h ${L_DIR}/*.ui ${L_DIR}/*.qrc)
  foreach(ex ${L_EXCLUDE})
    list(REMOVE_ITEM sources ${L_DIR}/${ex})
  endforeach()
  if(NOT sources)
    return()
  endif()
  add_library(${L_NAME} STATIC ${sources})
  set_target_properties(${L_NAME} PROPERTIES AUTOUIC ON AUTORCC ON)
  target_include_directories(${L_NAME} PUBLIC ${L_DIR})
  target_link_libraries(${L_NAME} PUBLIC Qt6::Widgets)
  orrery_link_present(${L_NAME} PUBLIC ${L_LINKS})
endfunction()
