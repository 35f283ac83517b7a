# Tests of the SDL layer and of the emulator shell over it. They run headless: each test sets
# SDL_VIDEODRIVER=dummy, SDL_RENDER_DRIVER=software and SDL_AUDIODRIVER=dummy itself; ctest sets them too.
if(TARGET halvo_sdl)
    file(GLOB_RECURSE HALVO_SDL_TEST_SOURCES CONFIGURE_DEPENDS
         ${CMAKE_CURRENT_SOURCE_DIR}/gfx/sdl/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/app/sdl/*.cpp
         ${CMAKE_CURRENT_SOURCE_DIR}/shell/*.cpp)
    if(HALVO_SDL_TEST_SOURCES)
        add_executable(halvo_sdl_tests ${HALVO_SDL_TEST_SOURCES})
        target_include_directories(halvo_sdl_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
        target_link_libraries(halvo_sdl_tests PRIVATE halvo_sdl GTest::gtest GTest::gtest_main GTest::gmock)
        target_compile_definitions(halvo_sdl_tests PRIVATE HALVO_TESTROMS_DIR="${HALVO_TESTROMS_DIR}")
        gtest_discover_tests(halvo_sdl_tests DISCOVERY_TIMEOUT 120
            PROPERTIES LABELS sdl ENVIRONMENT
            "SDL_VIDEODRIVER=dummy;SDL_RENDER_DRIVER=software;SDL_AUDIODRIVER=dummy;${HALVO_TEST_HOMES}")
        # The program itself, for the tests that run it as a child process.
        if(TARGET halvo)
            target_compile_definitions(halvo_sdl_tests PRIVATE HALVO_EXECUTABLE="$<TARGET_FILE:halvo>")
            add_dependencies(halvo_sdl_tests halvo)
        endif()
    endif()
endif()

# The program in a real window on an X server of its own (Xvfb), driven with xdotool. Skips without them.
if(TARGET halvo)
    file(GLOB HALVO_WINDOW_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/window/*.cpp)
    add_executable(halvo_window_tests ${HALVO_WINDOW_TEST_SOURCES})
    target_include_directories(halvo_window_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(halvo_window_tests PRIVATE halvo_core GTest::gtest GTest::gtest_main)
    target_compile_definitions(halvo_window_tests PRIVATE HALVO_EXECUTABLE="$<TARGET_FILE:halvo>"
                               HALVO_TESTROMS_DIR="${HALVO_TESTROMS_DIR}")
    add_dependencies(halvo_window_tests halvo)
    gtest_discover_tests(halvo_window_tests DISCOVERY_TIMEOUT 120 PROPERTIES LABELS window TIMEOUT 120
        ENVIRONMENT "${HALVO_TEST_HOMES}")
endif()
