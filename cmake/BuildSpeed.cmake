# What makes the build cheaper without changing what it builds. Included at the end of the top-level
# CMakeLists.txt, once every folder has defined its targets, so that it sees the whole link graph.
#
# - Qt's meta-object compiler runs only for targets that link Qt: for the others (the compiler, the
#   interpreter, their tests) the automatic moc step would scan every source and compile an empty file.
# - Precompiled headers: the GoogleTest and Qt headers that nearly every test and workbench file
#   includes are compiled once per kind of target and reused by every target of that kind (g++ only;
#   -DCMAKE_DISABLE_PRECOMPILE_HEADERS=ON checks that every file still includes what it uses).
#
# - Programs link with gold (below).
# - Tests carry line tables only (-g1) where the build asks for debug information: a failing test still
#   shows file and line in a backtrace and takes breakpoints by line, and the test files compile about a
#   quarter faster. The programs and libraries keep full debug information;
#   -DORRERY_FULL_TEST_DEBUG_INFO=ON gives the tests theirs too, to look at a test's variables in gdb.
# - The tests' own sources are not optimised (-O0): they are mostly GoogleTest macros and tables that
#   run once, and each compiles in about half the time. The code under test (our libraries and
#   programs, which the tests link) keeps the build's optimisation, so the tests still exercise the
#   optimised code; -DORRERY_OPTIMIZED_TESTS=ON optimises the tests too.
#
# A target's kind follows from what it links: "widgets" (Qt Widgets, directly or through a library),
# "core" (QtCore only), or "plain" (no Qt at all).

# Every build-system target defined in DIR and the folders below it.
function(orrery_targets_below dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    orrery_targets_below(${sub} below)
    list(APPEND targets ${below})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# What target ITEM links itself and passes on to what links it.
function(orrery_linked_items item out)
  get_target_property(type ${item} TYPE)
  set(links "")
  if(NOT type STREQUAL "INTERFACE_LIBRARY")
    get_target_property(direct ${item} LINK_LIBRARIES)
    if(direct)
      list(APPEND links ${direct})
    endif()
  endif()
  get_target_property(interface ${item} INTERFACE_LINK_LIBRARIES)
  if(interface)
    list(APPEND links ${interface})
  endif()
  set(${out} ${links} PARENT_SCOPE)
endfunction()

# The Qt kind of one linked item: a Qt module by its name, one of our targets by what it links in turn.
# Results are kept in global properties, so each target is looked at once.
function(orrery_qt_kind item out)
  string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
  if(item MATCHES "^Qt6::(Widgets|Gui|PrintSupport|Charts|OpenGL|OpenGLWidgets)$")
    set(${out} widgets PARENT_SCOPE)
    return()
  elseif(item MATCHES "^Qt6::")
    set(${out} core PARENT_SCOPE)
    return()
  elseif(NOT TARGET ${item} OR item MATCHES "::")
    set(${out} plain PARENT_SCOPE)
    return()
  endif()
  get_property(known GLOBAL PROPERTY ORRERY_QT_KIND_${item})
  if(known)
    set(${out} ${known} PARENT_SCOPE)
    return()
  endif()
  set_property(GLOBAL PROPERTY ORRERY_QT_KIND_${item} plain)  # a cycle counts as plain
  orrery_linked_items(${item} links)
  set(kind plain)
  foreach(link ${links})
    orrery_qt_kind("${link}" link_kind)
    if(link_kind STREQUAL "widgets")
      set(kind widgets)
      break()
    elseif(link_kind STREQUAL "core")
      set(kind core)
    endif()
  endforeach()
  set_property(GLOBAL PROPERTY ORRERY_QT_KIND_${item} ${kind})
  set(${out} ${kind} PARENT_SCOPE)
endfunction()

set(orrery_pch_std <algorithm> <array> <cstdint> <cstdio> <cstring> <functional> <map> <memory>
    <optional> <sstream> <string> <string_view> <vector>)
set(orrery_pch_core <QByteArray> <QCoreApplication> <QDir> <QElapsedTimer> <QFile> <QFileInfo>
    <QObject> <QString> <QStringList> <QTimer>)
set(orrery_pch_widgets <QAction> <QApplication> <QDialog> <QLabel> <QLineEdit> <QPushButton>
    <QVBoxLayout> <QWidget>)

# A small library whose only job is to build one precompiled header that other targets reuse.
function(orrery_pch_donor name)
  cmake_parse_arguments(D "" "" "HEADERS;LINKS" ${ARGN})
  set(source ${PROJECT_BINARY_DIR}/pch/${name}.cpp)
  if(NOT EXISTS ${source})
    file(WRITE ${source} "// Builds the precompiled header that the targets of one kind share.\n")
  endif()
  add_library(${name} STATIC EXCLUDE_FROM_ALL ${source})
  set_target_properties(${name} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
  target_link_libraries(${name} PRIVATE ${D_LINKS})
  target_precompile_headers(${name} PRIVATE ${D_HEADERS})
endfunction()

option(ORRERY_FULL_TEST_DEBUG_INFO "Full debug information in the tests as well" OFF)
option(ORRERY_OPTIMIZED_TESTS "Compile the test programs' own sources with the build's optimisation" OFF)
function(orrery_test_compile_options target)
  if(NOT ORRERY_FULL_TEST_DEBUG_INFO)
    target_compile_options(${target} PRIVATE $<$<CONFIG:RelWithDebInfo,Debug>:-g1>)
  endif()
  if(NOT ORRERY_OPTIMIZED_TESTS)
    target_compile_options(${target} PRIVATE $<$<CONFIG:RelWithDebInfo,Release,MinSizeRel>:-O0>)
  endif()
endfunction()

# The gold linker links the test programs in about half the time of the default one; it comes with
# binutils, so it is there wherever g++ is. -DORRERY_DEFAULT_LINKER=ON keeps the default.
option(ORRERY_DEFAULT_LINKER "Link with the compiler's default linker" OFF)
set(orrery_fast_linker "")
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND NOT ORRERY_DEFAULT_LINKER)
  include(CheckLinkerFlag)
  check_linker_flag(CXX -fuse-ld=gold ORRERY_HAS_GOLD)
  if(ORRERY_HAS_GOLD)
    set(orrery_fast_linker -fuse-ld=gold)
  endif()
endif()

function(orrery_speed_up_build)
  orrery_targets_below(${PROJECT_SOURCE_DIR} targets)
  set(use_pch OFF)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND NOT CMAKE_DISABLE_PRECOMPILE_HEADERS AND NOT ORRERY_FUZZ)
    set(use_pch ON)
  endif()
  set(donors_made "")
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|OBJECT_LIBRARY)$")
      continue()
    endif()
    if(orrery_fast_linker AND type MATCHES "^(EXECUTABLE|SHARED_LIBRARY)$")
      target_link_options(${target} PRIVATE ${orrery_fast_linker})
    endif()
    orrery_qt_kind(${target} kind)
    if(kind STREQUAL "plain")
      set_target_properties(${target} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
    endif()
    # A test is a program that links GoogleTest itself.
    get_target_property(direct_links ${target} LINK_LIBRARIES)
    set(is_test OFF)
    if(type STREQUAL "EXECUTABLE" AND direct_links MATCHES "GTest::")
      set(is_test ON)
      orrery_test_compile_options(${target})
    endif()
    if(NOT use_pch)
      continue()
    endif()
    # Plain production code compiles quickly on its own; the donors themselves need no donor.
    if((NOT is_test AND kind STREQUAL "plain") OR target MATCHES "^orrery_pch_")
      continue()
    endif()
    if(is_test)
      set(donor orrery_pch_test_${kind})
    else()
      set(donor orrery_pch_${kind})
    endif()
    if(NOT donor IN_LIST donors_made)
      set(headers ${orrery_pch_std})
      set(links "")
      if(NOT kind STREQUAL "plain")
        list(APPEND headers ${orrery_pch_core})
        list(APPEND links Qt6::Core)
      endif()
      if(kind STREQUAL "widgets")
        list(APPEND headers ${orrery_pch_widgets})
        list(APPEND links Qt6::Widgets)
      endif()
      if(is_test)
        list(APPEND headers <gtest/gtest.h> <gmock/gmock.h>)
        list(APPEND links GTest::gtest GTest::gmock)
        if(NOT kind STREQUAL "plain")
          list(APPEND headers <QTemporaryDir>)
        endif()
      endif()
      orrery_pch_donor(${donor} HEADERS ${headers} LINKS ${links})
      if(is_test)
        orrery_test_compile_options(${donor})  # a header is reused only under the same options
      endif()
      list(APPEND donors_made ${donor})
    endif()
    target_precompile_headers(${target} REUSE_FROM ${donor})
  endforeach()
endfunction()

# Deferred, so that it also sees the targets that folders declare once every folder is read.
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL orrery_speed_up_build)
