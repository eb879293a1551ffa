# The library is built from components, each a folder under src/ and a static library of its own that
# links the components it names in DEPS, and only those. A component may name only components declared
# before it, so the declared graph cannot have a cycle; omf_check_layers() then fails the configuration
# when a file includes a header of a component that its own component does not depend on (directly or
# through its dependencies). Together they keep src/CMakeLists.txt the true map of what uses what.
# ICU is linked as shared libraries, or as its static archives (OMF_ICU_ARCHIVES, in the order they must
# be linked) into an executable that sets its property OMF_STATIC_ICU: a property of the target being
# linked, so that the library's objects are the same for both.
add_library(omf_icu INTERFACE)
target_include_directories(omf_icu INTERFACE ${ICU_INCLUDE_DIRS})
target_link_libraries(omf_icu INTERFACE
  "$<IF:$<BOOL:$<TARGET_PROPERTY:OMF_STATIC_ICU>>,${OMF_ICU_ARCHIVES};m;${CMAKE_DL_LIBS},ICU::uc;ICU::i18n>")
add_library(omf_thirdparty INTERFACE)
target_link_libraries(omf_thirdparty INTERFACE omf_icu Boost::headers)
target_compile_features(omf_thirdparty INTERFACE cxx_std_20)
# Headers are included as <omf/component/X.h>, as a program using the installed library includes them; in
# the build tree that prefix is a link to src/.
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/include)
file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/include/omf SYMBOLIC)
target_include_directories(omf_thirdparty INTERFACE ${PROJECT_BINARY_DIR}/include)

function(omf_target_name out name)
  string(REPLACE "/" "_" t "omf_${name}")
  set(${out} ${t} PARENT_SCOPE)
endfunction()

function(omf_component name)
  cmake_parse_arguments(C "" "" "DEPS" ${ARGN})
  omf_target_name(target ${name})
  set(deps "")
  foreach(d IN LISTS C_DEPS)
    omf_target_name(dt ${d})
    if(NOT TARGET ${dt})
      message(FATAL_ERROR "component ${name} depends on ${d}, which is not declared above it: declare every "
                          "component after the components it needs, so that the graph stays acyclic")
    endif()
    list(APPEND deps ${dt})
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/src/${name}/*.cpp")
  if(sources)
    add_library(${target} STATIC ${sources})
    target_link_libraries(${target} PUBLIC omf_thirdparty ${deps})
  else() # headers only
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE omf_thirdparty ${deps})
  endif()
  if(name STREQUAL "platform/path")
    # Only the path layer knows where the data lives; other objects stay the same wherever the tree is.
    target_compile_definitions(${target} PRIVATE OMF_SHARE_DIR="${OMF_SHARE_DIR}"
                                                  OMF_SOURCE_DATA_DIR="${OMF_SOURCE_DATA_DIR}")
  endif()
  set_property(GLOBAL PROPERTY OMF_DEPS_${target} ${C_DEPS})
  set_property(GLOBAL APPEND PROPERTY OMF_ALL_COMPONENTS ${name})
endfunction()

# The component names that `name` depends on, directly or not, into `out`.
function(omf_component_closure out name)
  set(result "")
  set(pending ${name})
  while(pending)
    list(POP_FRONT pending c)
    omf_target_name(t ${c})
    get_property(deps GLOBAL PROPERTY OMF_DEPS_${t})
    foreach(d IN LISTS deps)
      if(NOT d IN_LIST result)
        list(APPEND result ${d})
        list(APPEND pending ${d})
      endif()
    endforeach()
  endwhile()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# Checks every `#include <omf/component/...>` of every component against the declared graph.
function(omf_check_layers)
  get_property(all GLOBAL PROPERTY OMF_ALL_COMPONENTS)
  set(problems "")
  foreach(c IN LISTS all)
    omf_component_closure(allowed ${c})
    list(APPEND allowed ${c})
    file(GLOB files "${PROJECT_SOURCE_DIR}/src/${c}/*.cpp" "${PROJECT_SOURCE_DIR}/src/${c}/*.h"
         "${PROJECT_SOURCE_DIR}/src/${c}/*.def")
    foreach(f IN LISTS files)
      file(STRINGS ${f} includes REGEX "^#include <omf/[^>]+>")
      foreach(line IN LISTS includes)
        string(REGEX REPLACE "^#include <omf/([^>]+)>.*" "\\1" header "${line}")
        get_filename_component(dir "${header}" DIRECTORY)
        if(dir IN_LIST all AND NOT dir IN_LIST allowed)
          file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${f})
          list(APPEND problems "  ${rel} includes ${header}, but ${c} does not depend on ${dir}")
        elseif(NOT dir IN_LIST all AND NOT dir STREQUAL "")
          file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${f})
          list(APPEND problems "  ${rel} includes ${header}, which is in no component")
        endif()
      endforeach()
    endforeach()
  endforeach()
  if(problems)
    list(JOIN problems "\n" text)
    message(FATAL_ERROR "Includes that the component graph in src/CMakeLists.txt does not allow:\n${text}")
  endif()
endfunction()

# Links component `component` (and so everything it depends on) into the executable `exe`.
function(omf_link_component exe component)
  omf_target_name(target ${component})
  target_link_libraries(${exe} PRIVATE ${target})
endfunction()

# One test executable per folder under tests/, named test_<folder>, linked with the named components.
function(omf_tests folder)
  string(REPLACE "/" "_" exe "test_${folder}")
  file(GLOB sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/tests/${folder}/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_executable(${exe} ${sources})
  foreach(component IN LISTS ARGN)
    omf_link_component(${exe} ${component})
  endforeach()
  target_link_libraries(${exe} PRIVATE GTest::gtest GTest::gtest_main omf_testsupport)
  gtest_discover_tests(${exe} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "OMF_DATA_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
