# ravlin_add_test(NAME SOURCES ... LIBS ... [GUI] [TIMEOUT s])
# One ctest entry per test program. GUI tests run on Qt's offscreen platform, so no display
# is needed; every test gets its own folder for published ports so that tests never see a
# simulator or another test's pseudo-terminal.
find_package(GTest REQUIRED)

function(ravlin_add_test name)
    cmake_parse_arguments(T "GUI" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
    add_test(NAME ${name} COMMAND ${name})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set(env "RAVLIN_PORT_DIR=${CMAKE_BINARY_DIR}/test-ports/${name}")
    if(T_GUI)
        list(APPEND env "QT_QPA_PLATFORM=offscreen")
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
endfunction()
