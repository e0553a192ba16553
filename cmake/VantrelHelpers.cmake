# vantrel_subsystem(NAME DEPS...): one static library per folder of src/, made of every .cpp in it.
# New files are picked up without editing any CMakeLists (CONFIGURE_DEPENDS re-globs on build).
function(vantrel_subsystem name)
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(_srcs)
    add_library(vantrel_${name} STATIC ${_srcs})
  else()
    add_library(vantrel_${name} INTERFACE)
  endif()
  if(_srcs)
    target_include_directories(vantrel_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(vantrel_${name} PUBLIC ${ARGN} Threads::Threads)
  else()
    target_include_directories(vantrel_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(vantrel_${name} INTERFACE ${ARGN} Threads::Threads)
  endif()
endfunction()

# vantrel_test(NAME LIBS...): one GoogleTest binary made of every .cpp in the current tests folder.
function(vantrel_test name)
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT _srcs)
    return()
  endif()
  add_executable(test_${name} ${_srcs})
  target_link_libraries(test_${name} PRIVATE ${ARGN} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(test_${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(test_${name} PRIVATE VANTREL_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data"
                                                     VANTREL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(test_${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT ${VANTREL_TEST_TIMEOUT})
endfunction()
