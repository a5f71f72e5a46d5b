# Shared build helpers: one static library per source folder, one test binary per test folder.

set(TESSARY_PCH_HEADERS <QtCore/QObject> <QtCore/QString> <QtCore/QVariant> <QtCore/QDateTime>
    <QtCore/QList> <QtCore/QHash> <QtCore/QMap> <functional> <memory> <optional> <vector>)

# One precompiled header per kind of target (engines, screens, tests), built
# once and reused: each weighs 150-180 MB, and one per target filled most of
# the build folder. GCC takes a header only when the macros it reads are
# defined alike, so each holder links what gives its users their definitions.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/tessary_pch_holder.cpp CONTENT "// Holds a shared precompiled header.\n")
function(tessary_pch_holder name)
  cmake_parse_arguments(ARG "" "" "HEADERS;LIBS" ${ARGN})
  add_library(${name} OBJECT ${CMAKE_BINARY_DIR}/tessary_pch_holder.cpp)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_compile_definitions(${name} PRIVATE TESSARY_VERSION="${PROJECT_VERSION}")
  target_precompile_headers(${name} PRIVATE ${ARG_HEADERS})
endfunction()
set(tessary_engine_modules Qt6::Core Qt6::Gui Qt6::DBus Qt6::Concurrent Qt6::Network)
tessary_pch_holder(tessary_pch_engine HEADERS ${TESSARY_PCH_HEADERS} LIBS ${tessary_engine_modules})
tessary_pch_holder(tessary_pch_screen HEADERS ${TESSARY_PCH_HEADERS} <QtWidgets/QWidget> <QtGui/QPainter>
                   LIBS ${tessary_engine_modules} Qt6::Widgets)
tessary_pch_holder(tessary_pch_test HEADERS ${TESSARY_PCH_HEADERS} <gtest/gtest.h>
                   LIBS ${tessary_engine_modules} Qt6::Widgets GTest::gtest)

# tessary_library(NAME DEPS dep... [WIDGETS] [SOURCES file...] [EXCLUDE file...])
# Without SOURCES the library takes every source of its folder but EXCLUDE.
function(tessary_library name)
  cmake_parse_arguments(ARG "WIDGETS" "" "DEPS;SOURCES;EXCLUDE" ${ARGN})
  if(ARG_SOURCES)
    list(TRANSFORM ARG_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/ OUTPUT_VARIABLE sources)
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    list(TRANSFORM ARG_EXCLUDE PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/ OUTPUT_VARIABLE excluded)
    if(excluded)
      list(REMOVE_ITEM sources ${excluded})
    endif()
  endif()
  set(compiled ${sources})
  list(FILTER compiled INCLUDE REGEX "\\.cpp$")
  if(NOT compiled)
    # Headers only (or classes not written yet): still links.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE Qt6::Core ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC Qt6::Core ${ARG_DEPS})
  target_compile_options(${name} PRIVATE -Wall -Wextra)
  target_compile_definitions(${name} PUBLIC TESSARY_VERSION="${PROJECT_VERSION}")
  if(ARG_WIDGETS)
    target_precompile_headers(${name} REUSE_FROM tessary_pch_screen)
  else()
    target_precompile_headers(${name} REUSE_FROM tessary_pch_engine)
  endif()
endfunction()

# tessary_folder(FOLDER CORE Class... [CORE_DEPS dep...] [DEPS dep...])
# A folder with engines and screens: the CORE classes (their .h and .cpp)
# become FOLDER_core, linked to QtCore and CORE_DEPS only, so the build
# refuses a widget in an engine; every other source of the folder becomes
# FOLDER, its screens, over FOLDER_core, QtWidgets and DEPS. New engine classes
# join the CORE list; new screens need no line.
function(tessary_folder folder)
  cmake_parse_arguments(ARG "" "" "CORE;CORE_DEPS;DEPS" ${ARGN})
  set(core)
  foreach(class IN LISTS ARG_CORE)
    foreach(ext h cpp)
      if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${class}.${ext})
        list(APPEND core ${class}.${ext})
      endif()
    endforeach()
  endforeach()
  file(GLOB all RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  set(views ${all})
  if(core)
    list(REMOVE_ITEM views ${core})
  endif()
  tessary_library(${folder}_core SOURCES ${core} DEPS ${ARG_CORE_DEPS})
  if(views)
    tessary_library(${folder} WIDGETS SOURCES ${views} DEPS ${folder}_core ${ARG_DEPS} Qt6::Widgets)
  else()
    add_library(${folder} INTERFACE)
    target_link_libraries(${folder} INTERFACE ${folder}_core ${ARG_DEPS})
  endif()
endfunction()

# tessary_test(NAME SOURCES src... LIBS lib...)
# Every test process runs with its own temporary HOME and XDG folders (see tests/support).
function(tessary_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE tessary_test_support ${ARG_LIBS} GTest::gtest Qt6::Test)
  target_precompile_headers(${name} REUSE_FROM tessary_pch_test)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TZ=Asia/Shanghai" TIMEOUT 300)
endfunction()
