# The library is built from components, one a folder under src/. Each component is an object library;
# `omf` is the static archive of all of them. A component's tests link the objects of the component
# and of the components it names in DEPS (list the whole closure: object files do not travel
# transitively), so one component's tests build while another component is half written.
add_library(omf_thirdparty INTERFACE)
target_link_libraries(omf_thirdparty INTERFACE ICU::uc ICU::i18n Boost::headers nlohmann_json::nlohmann_json)
target_include_directories(omf_thirdparty INTERFACE ${CMAKE_SOURCE_DIR}/src)

function(omf_component name)
  cmake_parse_arguments(C "" "" "DEPS" ${ARGN})
  string(REPLACE "/" "_" target "omf_${name}")
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/src/${name}/*.cpp")
  if(NOT sources) # header-only, or not written yet
    return()
  endif()
  add_library(${target} OBJECT ${sources})
  target_link_libraries(${target} PUBLIC omf_thirdparty)
  if(name STREQUAL "platform/path")
    # Only the path layer knows where the data lives; other objects stay the same wherever the tree is.
    target_compile_definitions(${target} PRIVATE OMF_SHARE_DIR="${OMF_SHARE_DIR}"
                                                  OMF_SOURCE_DATA_DIR="${OMF_SOURCE_DATA_DIR}")
  endif()
  set(deps "")
  foreach(d IN LISTS C_DEPS)
    string(REPLACE "/" "_" dt "omf_${d}")
    list(APPEND deps ${dt})
  endforeach()
  set_property(TARGET ${target} PROPERTY OMF_DEPS ${deps})
  set_property(GLOBAL APPEND PROPERTY OMF_ALL_COMPONENTS ${target})
endfunction()

# Links the objects of `component` and of its DEPS into the executable `exe`.
function(omf_link_component exe component)
  string(REPLACE "/" "_" target "omf_${component}")
  set(deps "")
  if(TARGET ${target})
    get_property(deps TARGET ${target} PROPERTY OMF_DEPS)
  endif()
  foreach(t IN ITEMS ${target} ${deps})
    if(NOT TARGET ${t})
      continue()
    endif()
    target_sources(${exe} PRIVATE $<TARGET_OBJECTS:${t}>)
  endforeach()
  target_link_libraries(${exe} PRIVATE omf_thirdparty)
endfunction()

# One test executable per folder under tests/, named test_<folder>, linked with the named component.
function(omf_tests folder component)
  string(REPLACE "/" "_" exe "test_${folder}")
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/${folder}/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_executable(${exe} ${sources})
  omf_link_component(${exe} ${component})
  target_link_libraries(${exe} PRIVATE GTest::gtest GTest::gtest_main omf_testsupport)
  gtest_discover_tests(${exe} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "OMF_DATA_DIR=${CMAKE_SOURCE_DIR}")
endfunction()
