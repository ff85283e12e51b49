# ravlin_add_test(NAME SOURCES ... LIBS ... [GUI] [TIMEOUT s])
# One ctest entry per test program. GUI tests run on Qt's offscreen platform, so no display
# is needed; every test gets its own folder for published ports so that tests never see a
# simulator or another test's pseudo-terminal.
find_package(GTest REQUIRED)

function(ravlin_add_test name)
    cmake_parse_arguments(T "GUI" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(T_GUI AND NOT RAVLIN_WITH_QT)
        return()
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
    add_test(NAME ${name} COMMAND ${name})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    # The folder is made private here, as the programs require (a folder left over with a
    # wider mode would be refused).
    set(port_dir ${CMAKE_BINARY_DIR}/test-ports/${name})
    file(MAKE_DIRECTORY ${port_dir})
    file(CHMOD ${port_dir} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
    set(env "RAVLIN_PORT_DIR=${port_dir}")
    if(T_GUI)
        # Qt keeps file-dialog history in the user's settings; each test program gets its own,
        # so no test reads or leaves behind another's (or the user's) last folder.
        set(config_dir ${CMAKE_BINARY_DIR}/test-config/${name})
        file(MAKE_DIRECTORY ${config_dir})
        list(APPEND env "QT_QPA_PLATFORM=offscreen" "XDG_CONFIG_HOME=${config_dir}")
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
endfunction()

# ravlin_add_areas(AREA...): adds the named sub-folders of the current folder; each holds the
# programs of one area. An area that needs Qt returns early when RAVLIN_WITH_QT is off (the
# sanitizer builds), so it is left out there. A sub-folder with a CMakeLists.txt that is not
# named stops the configuration, so that no area's tests are silently left out.
function(ravlin_add_areas)
    foreach(area ${ARGN})
        add_subdirectory(${area})
    endforeach()
    file(GLOB entries RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
    foreach(entry ${entries})
        get_filename_component(area ${entry} DIRECTORY)
        if(NOT area IN_LIST ARGN)
            file(RELATIVE_PATH here ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
            message(FATAL_ERROR "${here}/${area} has a CMakeLists.txt but is not listed in "
                                "ravlin_add_areas() of ${here}/CMakeLists.txt")
        endif()
    endforeach()
endfunction()
