# Shared build helpers: one static library per source folder, one test binary per test folder.

set(TESSARY_PCH_HEADERS <QtCore/QObject> <QtCore/QString> <QtCore/QVariant> <QtCore/QDateTime>
    <QtCore/QList> <QtCore/QHash> <QtCore/QMap> <functional> <memory> <optional> <vector>)

# One precompiled header per kind of target (engines, screens, tests), built
# once and shared: each weighs 150-180 MB, and one per target filled most of
# the build folder. GCC takes a header only when every macro it was made with
# is defined alike in the unit and no macro the unit adds is one the header
# reads, and its code options are the same; otherwise it parses it all again
# for that unit. So a holder is made with the least its kind needs (Qt's
# module macros and the project's own are read by none of these headers),
# targets compiled with other flags (their libraries' -pthread or -D..., their
# own -O) share a holder made with those, and a refused header fails the
# build instead of slowing it unseen.
set(TESSARY_PCH_SCREEN_HEADERS <QtWidgets/QWidget> <QtGui/QPainter>)
set(TESSARY_PCH_TEST_HEADERS <gtest/gtest.h>)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/tessary_pch_holder.cpp CONTENT "// Holds a shared precompiled header.\n")

# tessary_precompile(TARGET): the target takes the shared header of its kind,
# chosen once every folder has added its targets and links.
function(tessary_precompile target)
  set_property(GLOBAL APPEND PROPERTY TESSARY_PCH_USERS ${target})
endfunction()

# The flags a target's units get beyond what a holder of its kind has: its
# own options and those of its link closure, other libraries' definitions;
# and which kind of header it can take (widgets and gtest only where it links
# them).
function(_tessary_pch_needs target out_kind out_options out_definitions)
  set(queue ${target})
  set(seen)
  set(options)
  set(definitions)
  set(widgets OFF)
  set(gtest OFF)
  # The top folder's options, which every target and holder starts with.
  get_directory_property(everywhere DIRECTORY ${CMAKE_SOURCE_DIR} COMPILE_OPTIONS)
  while(queue)
    list(POP_FRONT queue item)
    string(REGEX REPLACE "::@.*$" "" item "${item}")
    if(item IN_LIST seen)
      continue()
    endif()
    if(NOT TARGET "${item}")
      # pkg-config's targets are seen only below the folder that found them;
      # their flags are kept in the cache.
      if(item MATCHES "^PkgConfig::(.+)$")
        list(APPEND options $CACHE{${CMAKE_MATCH_1}_CFLAGS_OTHER})
        list(APPEND seen ${item})
      endif()
      continue()
    endif()
    list(APPEND seen ${item})
    get_target_property(aliased ${item} ALIASED_TARGET)
    if(aliased)
      list(APPEND queue ${aliased})
      continue()
    endif()
    if(item STREQUAL "Qt6::Widgets")
      set(widgets ON)
    elseif(item MATCHES "^GTest::")
      set(gtest ON)
    endif()
    set(own)
    if(item STREQUAL target)
      get_target_property(deps ${item} LINK_LIBRARIES)
      get_target_property(own ${item} COMPILE_OPTIONS)
    else()
      get_target_property(deps ${item} INTERFACE_LINK_LIBRARIES)
      get_target_property(imported ${item} IMPORTED)
      # What a holder links gives it its flags itself.
      if(NOT item MATCHES "^(Qt6|GTest)::")
        get_target_property(own ${item} INTERFACE_COMPILE_OPTIONS)
        get_target_property(defs ${item} INTERFACE_COMPILE_DEFINITIONS)
        if(imported AND defs)
          list(APPEND definitions ${defs})
        endif()
      endif()
    endif()
    foreach(option IN LISTS own)
      if(option AND NOT option MATCHES "^-W" AND NOT option IN_LIST everywhere)
        list(APPEND options "${option}")
      endif()
    endforeach()
    foreach(dep IN LISTS deps)
      # A private dependency of a library gives its users nothing to compile with.
      if(NOT dep MATCHES "^\\$<LINK_ONLY:")
        list(APPEND queue "${dep}")
      endif()
    endforeach()
  endwhile()
  if(gtest AND widgets)
    set(kind test)
  elseif(widgets)
    set(kind screen)
  else()
    set(kind engine)
  endif()
  list(REMOVE_DUPLICATES options)
  list(REMOVE_DUPLICATES definitions)
  list(SORT options)
  list(SORT definitions)
  set(${out_kind} ${kind} PARENT_SCOPE)
  set(${out_options} "${options}" PARENT_SCOPE)
  set(${out_definitions} "${definitions}" PARENT_SCOPE)
endfunction()

function(_tessary_pch_holder name kind options definitions)
  add_library(${name} OBJECT ${CMAKE_BINARY_DIR}/tessary_pch_holder.cpp)
  set_target_properties(${name} PROPERTIES AUTOMOC OFF)
  set(headers ${TESSARY_PCH_HEADERS})
  if(kind STREQUAL "engine")
    target_link_libraries(${name} PRIVATE Qt6::Core)
  else()
    target_link_libraries(${name} PRIVATE Qt6::Widgets)
    list(APPEND headers ${TESSARY_PCH_SCREEN_HEADERS})
  endif()
  if(kind STREQUAL "test")
    target_link_libraries(${name} PRIVATE GTest::gtest)
    list(APPEND headers ${TESSARY_PCH_TEST_HEADERS})
  endif()
  target_compile_options(${name} PRIVATE ${options})
  target_compile_definitions(${name} PRIVATE ${definitions})
  target_precompile_headers(${name} PRIVATE ${headers})
endfunction()

# A header costs about as much to make (8-10 s) as a handful of units save
# with it: a holder is made only for at least this many units; the rest
# compile without, so they include all they use themselves.
set(TESSARY_PCH_MIN_UNITS 8)
function(_tessary_pch_assign)
  get_property(users GLOBAL PROPERTY TESSARY_PCH_USERS)
  set(holders)
  foreach(target IN LISTS users)
    # Only what compiles, and only once: a target may bring a header of its own.
    get_target_property(type ${target} TYPE)
    get_target_property(own ${target} PRECOMPILE_HEADERS)
    get_target_property(reused ${target} PRECOMPILE_HEADERS_REUSE_FROM)
    if(type MATCHES "^(UTILITY|INTERFACE_LIBRARY)$" OR own OR reused)
      continue()
    endif()
    _tessary_pch_needs(${target} kind options definitions)
    # Named after its flags (their values, without conditions) where that
    # is short and no other holder has the name.
    set(key "${kind};${options};${definitions}")
    set(holder tessary_pch_${kind})
    if(options OR definitions)
      set(flags)
      foreach(flag IN LISTS options definitions)
        string(REGEX REPLACE "^\\$<.*:([^>]*)>+$" "\\1" flag "${flag}")
        string(APPEND flags "_${flag}")
      endforeach()
      string(MAKE_C_IDENTIFIER "${flags}" flags)
      string(REGEX REPLACE "_+" "_" flags "${flags}")
      string(APPEND holder ${flags})
      string(LENGTH "${holder}" length)
      if(length GREATER 40 OR (DEFINED ${holder}_key AND NOT ${holder}_key STREQUAL key))
        string(MD5 flags "${key}")
        string(SUBSTRING ${flags} 0 8 flags)
        set(holder tessary_pch_${kind}_${flags})
      endif()
    endif()
    set(${holder}_key "${key}")
    get_target_property(sources ${target} SOURCES)
    list(FILTER sources INCLUDE REGEX "\\.cpp$")
    list(LENGTH sources units)
    get_target_property(automoc ${target} AUTOMOC)
    if(automoc)
      math(EXPR units "${units} + 1")
    endif()
    if(NOT holder IN_LIST holders)
      list(APPEND holders ${holder})
      set(${holder}_kind ${kind})
      set(${holder}_options "${options}")
      set(${holder}_definitions "${definitions}")
      set(${holder}_units 0)
    endif()
    list(APPEND ${holder}_users ${target})
    math(EXPR ${holder}_units "${${holder}_units} + ${units}")
  endforeach()
  foreach(holder IN LISTS holders)
    if(${holder}_units LESS TESSARY_PCH_MIN_UNITS)
      continue()
    endif()
    _tessary_pch_holder(${holder} ${${holder}_kind} "${${holder}_options}" "${${holder}_definitions}")
    foreach(target IN LISTS ${holder}_users)
      target_precompile_headers(${target} REUSE_FROM ${holder})
      target_compile_options(${target} PRIVATE -Werror=invalid-pch)
      # A program's classes are moc'ed within their sources, so its moc unit
      # is empty: loading the header would be all of its cost.
      get_target_property(type ${target} TYPE)
      get_target_property(binary_dir ${target} BINARY_DIR)
      if(type STREQUAL "EXECUTABLE")
        set_source_files_properties(${binary_dir}/${target}_autogen/mocs_compilation.cpp TARGET_DIRECTORY ${target}
                                    PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
      endif()
    endforeach()
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _tessary_pch_assign)

# tessary_library(NAME DEPS dep... [WIDGETS] [SOURCES file...] [EXCLUDE file...])
# Without SOURCES the library takes every source of its folder but EXCLUDE.
# Its precompiled header follows what it links (WIDGETS is only a marker).
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
  tessary_precompile(${name})
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

# Test code is compiled to check, not to run fast: -Og builds it about a third
# faster than -O2 and keeps it debuggable; the code it tests keeps its own.
set(TESSARY_TEST_OPTIONS $<$<NOT:$<CONFIG:Debug>>:-Og>)

# tessary_test(NAME SOURCES src... LIBS lib... [SCREEN file])
# Every test process runs with its own temporary HOME and XDG folders (see tests/support).
# SCREEN names a JSON file of the offscreen platform's screens to run on.
function(tessary_test name)
  cmake_parse_arguments(ARG "" "SCREEN" "SOURCES;LIBS" ${ARGN})
  set(platform offscreen)
  if(ARG_SCREEN)
    set(platform "offscreen:configfile=${ARG_SCREEN}")
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE tessary_test_support ${ARG_LIBS} GTest::gtest Qt6::Test)
  target_compile_options(${name} PRIVATE ${TESSARY_TEST_OPTIONS})
  tessary_precompile(${name})
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    # One value per property: the discovered tests' properties are written
    # out flat, so a list would spill into the names after it.
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=${platform}" ENVIRONMENT_MODIFICATION "TZ=set:Asia/Shanghai"
               TIMEOUT 300 FIXTURES_REQUIRED tessary_processes)
endfunction()
